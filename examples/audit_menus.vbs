' Audits a host's menu and toolbar before rendering them, and prints what is
' wrong with them.  Run it in a prefix where zuvXCHandler.dll and
' zuvXCHandlerAudit.dll are registered, for example:
'   build/wine-run.sh cscript //nologo Z:\path\to\examples\audit_menus.vbs
Option Explicit

Const CTRL = 8

Function Entry(parent, caption, key)
    Dim m : Set m = CreateObject("zuvXCHandler.xMenu")
    m.Caption = caption
    parent.SubMenus.Add m, key
    Set Entry = m
End Function

Function Button(parent, caption)
    Dim b : Set b = CreateObject("zuvXCHandler.xToolBar")
    b.Caption = caption
    parent.Buttons.Add b
    Set Button = b
End Function

' The menu: numbered from 1000.
Dim menu, file, edit, recent, item
Set menu = CreateObject("zuvXCHandler.xMenu")
menu.StartID = 1000
Set file = Entry(menu, "&File", "File")
Set item = Entry(file, "&Open...", "Open")
item.ShortCutFirstKey = CTRL : item.ShortCutSecondKey = Asc("O")
Set item = Entry(file, "&Save", "Save")
item.ShortCutFirstKey = CTRL : item.ShortCutSecondKey = Asc("S")
Set recent = Entry(file, "Recent file", "Recent")
recent.IsArray = True
recent.ArrayCount = 10
Set edit = Entry(menu, "&Edit", "Edit")
Set item = Entry(edit, "&Copy", "Copy")
item.ShortCutFirstKey = CTRL : item.ShortCutSecondKey = Asc("C")
' Faults: the same access key as Copy, the same shortcut as Save, and a key
' already used in the File menu.
Set item = Entry(edit, "&Clear", "Open")
item.ShortCutFirstKey = CTRL : item.ShortCutSecondKey = Asc("S")

' The toolbar: numbered from 1010, inside the menu's range (1001-1016).
Dim bar
Set bar = CreateObject("zuvXCHandler.xToolBar")
bar.StartID = 1010
Button bar, "New"
Button bar, "Open"

Dim audit, finding
Set audit = CreateObject("zuvXCHandler.Audit")
audit.AddMenu menu
audit.AddToolBar bar
WScript.Echo audit.Report

' The same findings, one by one.
For Each finding In audit.Findings
    If finding.Severity = 2 Then WScript.Echo "must fix: " & finding.Code & " at " & finding.Path
Next
