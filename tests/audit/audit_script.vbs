' The audit as a script uses it: late-bound, For Each over the findings,
' the report, and the errors a wrong argument gives.
Function Child(parent, caption)
    Dim m : Set m = NewMenu(caption)
    parent.SubMenus.Add m, caption
    Set Child = m
End Function

On Error Resume Next
Dim root, fileMenu, openItem, options, audit, f, codes
Set root = NewMenu("")
root.StartID = 1000
Set fileMenu = Child(root, "&File")
Set openItem = Child(fileMenu, "&Open")
Set options = Child(fileMenu, "&Options")
openItem.ShortCutFirstKey = 8 : openItem.ShortCutSecondKey = 79
options.ShortCutFirstKey = 8 : options.ShortCutSecondKey = 79
Set audit = CreateObject("zuvXCHandler.Audit")
audit.AddMenu root
Check Err.Number = 0, "building and adding: " & Err.Description
Err.Clear

For Each f In audit.Run
    codes = codes & f.Code & " "
    If f.Code = "DuplicateShortcut" Then
        Check f.Node Is openItem And f.OtherNode Is options, "the nodes of the shortcut"
        Check f.Severity = 2, "a duplicate shortcut is an error"
        Check f.OtherPath = "Menu 1 > 1 ""&File"" > 2 ""&Options""", "path: " & f.OtherPath
    End If
Next
Check Err.Number = 0, "For Each: " & Err.Description
Check codes = "DuplicateShortcut DuplicateAccessKey " Or codes = "DuplicateAccessKey DuplicateShortcut ", _
      "two findings: " & codes
Check audit.Findings(1).Code <> "", "Findings(1) is the default member"
Check InStr(audit.Report, "1 error, 1 warning.") > 0, "report header: " & audit.Report
Err.Clear

audit.AddMenu Nothing
Check Err.Number = 91, "AddMenu Nothing gives 91, got " & Err.Number
Err.Clear
audit.AddToolBar root
Check Err.Number = 13 And InStr(Err.Description, "use AddMenu") > 0, "AddToolBar with a menu: " & Err.Description
Err.Clear
Check audit.RootCount = 1, "RootCount after refused arguments"

WScript.Echo "zuv-test: reached the end"
WScript.Quit failures
