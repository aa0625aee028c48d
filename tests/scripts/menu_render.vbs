' What a script host sees of the menu, late-bound: a new node's defaults, a
' tree built and walked by name, the errors Item gives, the rendering into
' the stand-in command bars, lookups, live updates, the listing, and
' rendering again into new command bars after the recent-file list grew.
Function AddTo(parent, caption, key)
    Dim m : Set m = NewMenu(caption)
    If key = "" Then parent.SubMenus.Add m Else parent.SubMenus.Add m, key
    Set AddTo = m
End Function

On Error Resume Next
Dim bars : Set bars = CreateObject("XCHost.CommandBars")
Dim root : Set root = CreateObject("zuvXCHandler.xMenu")
Expect Err.Number, 0, "CreateObject"
With root
    Expect .Caption & "|" & .Key & "|" & .Tag & "|" & .ID & "|" & .StartID & "|" & .ArrayCount & "|" & .ArrayIndex & _
        "|" & .ShortCutFirstKey & "|" & .ShortCutSecondKey, "|||0|0|0|0|0|0", "texts and numbers of a new node"
    Expect .Checked & " " & .Enabled & " " & .Visible & " " & .MenuSeperator & " " & .WindowsList & " " & _
        .MaxButton & " " & .MinButton & " " & .ControlBox, "False True True False False True True True", "states"
    Expect .IsArray & " " & .IsArrayChild & " " & .IsArrayBaseZero & " " & .IsMenuDesigned & " " & .Count, _
        "False False True False -1", "array flags, designed and Count"
    Expect "" & (.ArrayParent Is Nothing) & " " & (.CmdBarControl Is Nothing) & " " & (.CmdBarPopup Is Nothing) & _
        " " & (.SubMenus Is .ArrayMenu) & " " & .SubMenus.Count & " " & .ArrayMenu.Count, _
        "True True True False 0 0", "objects and collections"
End With
root.StartID = 1000
root.MaxButton = False

Dim fileMenu, openItem, saveItem, separator, recent, exitItem, editMenu, undo, findNext, windowList, item
Set fileMenu = AddTo(root, "&File", "file")
Set openItem = AddTo(fileMenu, "&Open...", "open")
openItem.ShortCutFirstKey = 8      ' CTRL
openItem.ShortCutSecondKey = 79    ' O
Set saveItem = AddTo(fileMenu, "&Save", "save")
Set separator = AddTo(fileMenu, "-", "")
separator.MenuSeperator = True
Set recent = AddTo(fileMenu, "Recent file", "recent")
recent.IsArray = True
recent.ArrayCount = 3
Set exitItem = AddTo(fileMenu, "E&xit", "exit")
Set editMenu = AddTo(root, "&Edit", "edit")
Set undo = AddTo(editMenu, "&Undo", "undo")
undo.Enabled = False
Set findNext = AddTo(AddTo(editMenu, "&Find", "find"), "Find &Next", "findnext")
Set windowList = AddTo(AddTo(root, "&Window", "window"), "Windows", "windows")
windowList.WindowsList = True
Expect Err.Number, 0, "building the tree"
Expect "" & (root.SubMenus("FILE") Is fileMenu) & " " & (root.SubMenus(2) Is editMenu) & " " & _
    root.SubMenus.Item("EDIT").Key, "True True edit", "Item by key in another letter case, by position"
Set item = root.SubMenus(4) : ExpectError 9, "Item past the end"
Set item = root.SubMenus("missing") : ExpectError 5, "Item of a missing key"

Expect root.RenderMenu(bars), True, "RenderMenu"
Expect fileMenu.ID & " " & saveItem.ID & " " & exitItem.ID & " " & findNext.ID & " " & windowList.ID, _
    "1001 1003 1007 1011 35000", "IDs"
Expect recent.ArrayMenu.Item(0).ID & " " & recent.Count, "1004 3", "recent files (counted from zero)"
Expect bars.ControlProp(bars.FindControl(1004), "Group"), True, "separator before the recent files"
Expect bars.KeyBinding(1), "Ctrl+O (8, 79) -> 1002", "shortcut of Open"
Expect root.GetMenu(1011).Key & " " & root.GetMenu(1005).ArrayIndex, "findnext 1", "GetMenu"
saveItem.Caption = "Save &As..."
Expect bars.ControlProp(bars.FindControl(1003), "Caption"), "Save &As...", "caption forwarded"

Dim list : Set list = CreateObject("XCHost.Collection")
Expect root.GetMenuList(list), True, "GetMenuList"
Expect list.Count & " " & list.Item(4).MenuSeperator & " " & list.Item("findnext").Caption, "12 True Find &Next", "listed"
Dim names
For Each item In root.SubMenus
    names = names & item.Caption & "|"
Next
Expect names, "&File|&Edit|&Window|", "For Each over the titles"

' The window is re-created with one recent file more.
recent.ArrayCount = 4
Set bars = CreateObject("XCHost.CommandBars")
Expect root.RenderMenu(bars), True, "RenderMenu into new command bars"
Expect recent.ArrayMenu.Count & " " & recent.Count & " " & exitItem.ID, "4 4 1008", "after rendering again"
Set item = root.GetMenu(1007)
Expect item Is recent.ArrayMenu(3), True, "GetMenu finds the new recent file"
item.Checked = True
openItem.Caption = "&Open file..."
Expect bars.ControlProp(bars.FindControl(1007), "Checked") & " " & bars.ControlProp(bars.FindControl(1002), "Caption"), _
    "True &Open file...", "changes reach the new controls"

Expect Err.Number, 0, "the end"
WScript.Echo "zuv-test: reached the end"
WScript.Quit failures
