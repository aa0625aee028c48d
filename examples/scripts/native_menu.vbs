' A late-bound host (VBScript): a menu tree rendered into the native command
' bars.  Without a window attached the bars are built but not shown; Attach
' shows them in a window.  Events cannot reach a script under Wine's script
' host, so this one reads the rendered controls back instead.
' Prints "example: ok" when everything matched.
Option Explicit
Dim failures : failures = 0

Sub Expect(actual, expected, what)
    If Err.Number <> 0 Then
        WScript.Echo what & ": error " & Err.Number & " " & Err.Description
        failures = failures + 1
        Err.Clear
    ElseIf actual <> expected Then
        WScript.Echo what & ": got " & actual & ", expected " & expected
        failures = failures + 1
    End If
End Sub

Function NewMenu(parent, caption, key)
    Dim node
    Set node = CreateObject("zuvXCHandler.xMenu")
    node.Caption = caption
    parent.SubMenus.Add node, key
    Set NewMenu = node
End Function

On Error Resume Next
Dim bars, root, file, openItem, control
Set bars = CreateObject("zuvXCHandler.NativeCommandBars")
Expect IsObject(bars), True, "CreateObject NativeCommandBars"

Set root = CreateObject("zuvXCHandler.xMenu")
root.StartID = 1000
Set file = NewMenu(root, "&File", "File")
Set openItem = NewMenu(file, "&Open...", "Open")
openItem.ShortCutFirstKey = 8      ' CTRL
openItem.ShortCutSecondKey = 79    ' O

Expect root.RenderMenu(bars), True, "RenderMenu"
Set control = openItem.CmdBarControl
Expect control.Caption, "&Open...", "caption of the rendered entry"
Expect control.Id, 1002, "its command ID"
Expect bars.Accelerators <> 0, True, "an accelerator table for Ctrl+O"

' Later changes go to the control at once.
openItem.Checked = True
Expect control.Checked, True, "check mark forwarded"
openItem.Caption = "&Open a file..."
Expect control.Caption, "&Open a file...", "caption forwarded"

' What the native bars cannot show fails with a clear error.
Dim number
Err.Clear
bars.ActiveMenuBar.Option23 = True
number = Err.Number
Err.Clear
Expect number, 5, "an option the native bars cannot show"

If failures = 0 Then
    WScript.Echo "example: ok"
Else
    WScript.Quit 1
End If
