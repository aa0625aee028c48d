' The audit as a script uses it: late-bound, For Each over the findings,
' the report, and the errors a wrong argument gives.
On Error Resume Next

Dim root, fileMenu, openItem, recent, audit, f, n, codes
Set root = CreateObject("zuvXCHandler.xMenu")
root.StartID = 1000
Set fileMenu = root.SubMenus.Add(NewMenu("&File"), "File")
Set openItem = fileMenu.SubMenus.Add(NewMenu("&Open"), "Open")
openItem.ShortCutFirstKey = 8
openItem.ShortCutSecondKey = 79
Set recent = fileMenu.SubMenus.Add(NewMenu("&Options"), "Options")
recent.ShortCutFirstKey = 8
recent.ShortCutSecondKey = 79
Check Err.Number = 0, "building: " & Err.Description
Err.Clear

Set audit = CreateObject("zuvXCHandler.Audit")
Check Err.Number = 0, "CreateObject zuvXCHandler.Audit: " & Err.Description
Err.Clear
audit.AddMenu root
Check Err.Number = 0, "AddMenu: " & Err.Description
Err.Clear

n = 0
codes = ""
For Each f In audit.Run
    n = n + 1
    codes = codes & f.Code & " "
    If f.Code = "DuplicateShortcut" Then
        Check f.Node Is openItem, "the first node of the shortcut"
        Check f.OtherNode Is recent, "the second node of the shortcut"
        Check f.Severity = 2, "a duplicate shortcut is an error"
        Check f.OtherPath = "Menu 1 > 1 ""&File"" > 2 ""&Options""", "path: " & f.OtherPath
    End If
Next
Check Err.Number = 0, "For Each: " & Err.Description
Err.Clear
Check n = 2, "two findings, got " & n & ": " & codes
Check InStr(codes, "DuplicateShortcut") > 0, "DuplicateShortcut among " & codes
Check InStr(codes, "DuplicateAccessKey") > 0, "DuplicateAccessKey among " & codes
Check audit.Findings.Count = 2, "Findings.Count"
Check audit.Findings(1).Code <> "", "Findings(1) is the default member"
Check InStr(audit.Report, "1 error, 1 warning.") > 0, "report header: " & audit.Report

' Fix the faults: nothing left.
recent.Caption = "O&ptions"
recent.ShortCutSecondKey = 80
audit.Run
Check audit.Findings.Count = 0, "after the fix: " & audit.Report
Err.Clear

' Wrong arguments: clear errors, nothing taken.
audit.AddMenu Nothing
Check Err.Number = 91, "AddMenu Nothing gives 91, got " & Err.Number
Err.Clear
audit.AddToolBar root
Check Err.Number = 13, "AddToolBar with a menu gives 13, got " & Err.Number
Check InStr(Err.Description, "use AddMenu") > 0, "description: " & Err.Description
Err.Clear
audit.AddMenu CreateObject("Scripting.Dictionary")
Check Err.Number = 13, "AddMenu with a dictionary gives 13, got " & Err.Number
Err.Clear
audit.AddMenu 42
Check Err.Number = 13, "AddMenu 42 gives 13, got " & Err.Number
Err.Clear
Check audit.RootCount = 1, "RootCount after refused arguments"
Err.Clear

If failures = 0 Then WScript.Echo "PASS"
WScript.Echo "zuv-test: reached the end"
WScript.Quit failures
