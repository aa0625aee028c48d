' Builds a nested menu tree from a script, walks it with For Each, reads the
' defaults of a new node and checks the errors a script sees.
Option Explicit
Dim failures : failures = 0

Sub Check(condition, what)
    If Not condition Then
        WScript.Echo "FAIL: " & what
        failures = failures + 1
    End If
End Sub

Function NewMenu(caption)
    Dim m : Set m = CreateObject("zuvXCHandler.xMenu")
    m.Caption = caption
    Set NewMenu = m
End Function

On Error Resume Next

Dim root : Set root = CreateObject("zuvXCHandler.xMenu")
Check Err.Number = 0, "CreateObject zuvXCHandler.xMenu: " & Err.Description
Err.Clear

' Defaults of a new node.
Check root.Caption = "", "Caption default"
Check root.Key = "", "Key default"
Check root.Tag = "", "Tag default"
Check root.ID = 0, "ID default"
Check root.Checked = False, "Checked default"
Check root.Enabled = True, "Enabled default"
Check root.Visible = True, "Visible default"
Check root.MenuSeperator = False, "MenuSeperator default"
Check root.StartID = 0, "StartID default"
Check root.WindowsList = False, "WindowsList default"
Check root.MaxButton = True, "MaxButton default"
Check root.MinButton = True, "MinButton default"
Check root.ControlBox = True, "ControlBox default"
Check root.ShortCutFirstKey = 0, "ShortCutFirstKey default"
Check root.ShortCutSecondKey = 0, "ShortCutSecondKey default"
Check root.IsArray = False, "IsArray default"
Check root.ArrayCount = 0, "ArrayCount default"
Check root.IsArrayChild = False, "IsArrayChild default"
Check root.ArrayParent Is Nothing, "ArrayParent default"
Check root.ArrayIndex = 0, "ArrayIndex default"
Check root.IsArrayBaseZero = True, "IsArrayBaseZero default"
Check root.IsMenuDesigned = False, "IsMenuDesigned default"
Check root.CmdBarControl Is Nothing, "CmdBarControl default"
Check root.CmdBarPopup Is Nothing, "CmdBarPopup default"
Check root.SubMenus.Count = 0, "SubMenus empty"
Check root.ArrayMenu.Count = 0, "ArrayMenu empty"
Check Not (root.SubMenus Is root.ArrayMenu), "two distinct collections"
Check root.Count = -1, "Count of a node that is not an array"
Check Err.Number = 0, "reading defaults: " & Err.Description
Err.Clear

' A nested tree.
Dim fileMenu, editMenu, item, names, child
Set fileMenu = root.SubMenus.Add(NewMenu("&File"), "File")
Set editMenu = root.SubMenus.Add(NewMenu("&Edit"), "Edit")
fileMenu.SubMenus.Add NewMenu("&New"), "New"
fileMenu.SubMenus.Add NewMenu("&Open...")
fileMenu.SubMenus.Add NewMenu("E&xit"), "Exit"
editMenu.SubMenus.Add NewMenu("&Copy"), "Copy"
Check Err.Number = 0, "building: " & Err.Description
Err.Clear

names = ""
For Each item In root.SubMenus
    names = names & item.Caption & "["
    For Each child In item.SubMenus
        names = names & child.Caption & ";"
    Next
    names = names & "]"
Next
WScript.Echo names
Check names = "&File[&New;&Open...;E&xit;]&Edit[&Copy;]", "For Each order"
Check root.SubMenus("file") Is fileMenu, "Item by key, other letter case"
Check root.SubMenus(2) Is editMenu, "Item by position"
Check fileMenu.SubMenus.Item("EXIT").Key = "Exit", "key given by Add"

' Errors a script sees.
Err.Clear
root.SubMenus.Add NewMenu("again"), "FILE"
Check Err.Number = 457, "duplicate key gives 457, got " & Err.Number
Err.Clear
Set item = root.SubMenus(3)
Check Err.Number = 9, "position out of range gives 9, got " & Err.Number
Err.Clear
Set item = root.SubMenus("missing")
Check Err.Number = 5, "missing key gives 5, got " & Err.Number
Err.Clear
root.SubMenus.Remove 1
Check Err.Number = 0 And root.SubMenus.Count = 1, "Remove by position"
Err.Clear

' ArrayCount above 100 is refused (reported as an event, not an error).
root.ArrayCount = 100
root.ArrayCount = 101
Check Err.Number = 0 And root.ArrayCount = 100, "ArrayCount limit"
Err.Clear

If failures = 0 Then WScript.Echo "foundation: all checks passed"
WScript.Echo "zuv-test: reached the end"
WScript.Quit failures
