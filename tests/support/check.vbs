' Joined in front of every test script by zuv_add_script_test: the checks a
' script reports its failures with.  Each script counts them in `failures`
' and ends with
'     WScript.Echo "zuv-test: reached the end"
'     WScript.Quit failures
' (an uncaught run-time error ends a script with neither, and exit code 0).
Option Explicit
Dim failures : failures = 0

' A condition that must hold.
Sub Check(condition, what)
    If Not condition Then
        WScript.Echo "FAIL: " & what
        failures = failures + 1
    End If
End Sub

' A value that must be as expected; an error left by the statements before
' it is a failure too, reported and cleared.
Sub Expect(actual, expected, what)
    If Err.Number <> 0 Then
        WScript.Echo "ERROR " & Err.Number & " (" & Err.Description & ") before: " & what
        failures = failures + 1
        Err.Clear
    ElseIf actual <> expected Then
        WScript.Echo "FAIL: " & what & ": got [" & actual & "], expected [" & expected & "]"
        failures = failures + 1
    End If
End Sub

' The error the statement before it left (0: none); clears it.
Sub ExpectError(number, what)
    Dim got : got = Err.Number
    Err.Clear
    If got <> number Then
        WScript.Echo "FAIL: " & what & ": error " & got & ", expected " & number
        failures = failures + 1
    End If
End Sub

' A new menu node with this caption.
Function NewMenu(caption)
    Dim m : Set m = CreateObject("zuvXCHandler.xMenu")
    m.Caption = caption
    Set NewMenu = m
End Function
