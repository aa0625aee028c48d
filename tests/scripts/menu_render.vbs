' Builds a File / Edit / Window menu with a list of recent files, renders it
' into the stand-in command bars, prints what was built, and checks the
' numbering, the lookups, live updates and the listing from a script.
Function AddTo(parent, caption, key)
    Dim m : Set m = CreateObject("zuvXCHandler.xMenu")
    m.Caption = caption
    If key = "" Then
        parent.SubMenus.Add m
    Else
        parent.SubMenus.Add m, key
    End If
    Set AddTo = m
End Function

On Error Resume Next

Dim bars : Set bars = CreateObject("XCHost.CommandBars")
Dim root : Set root = CreateObject("zuvXCHandler.xMenu")
Expect Err.Number, 0, "CreateObject"
root.StartID = 1000
root.MaxButton = False

Dim fileMenu, openItem, saveItem, separator, recent, exitItem
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

Dim editMenu, undoItem, findItem, findNext
Set editMenu = AddTo(root, "&Edit", "edit")
Set undoItem = AddTo(editMenu, "&Undo", "undo")
undoItem.Enabled = False
Set findItem = AddTo(editMenu, "&Find", "find")
Set findNext = AddTo(findItem, "Find &Next", "findnext")

Dim windowMenu, windowList
Set windowMenu = AddTo(root, "&Window", "window")
Set windowList = AddTo(windowMenu, "Windows", "windows")
windowList.WindowsList = True
Expect Err.Number, 0, "building the tree"

Expect root.RenderMenu(bars), True, "RenderMenu"
WScript.Echo bars.Dump

' Numbered depth first from StartID + 1; the window list is 35000.
Expect fileMenu.ID & " " & saveItem.ID & " " & exitItem.ID & " " & findNext.ID, "1001 1003 1007 1011", "IDs"
Expect windowList.ID, 35000, "window list"
Expect recent.ArrayMenu.Item(0).ID, 1004, "first recent file (counted from zero)"
Expect recent.Count, 3, "visible recent files"
Expect bars.ControlProp(bars.FindControl(1004), "Group"), True, "separator before the recent files"
Expect bars.KeyBinding(1), "Ctrl+O (8, 79) -> 1002", "shortcut of Open"

' Click dispatch starts from the ID the command bars report.
Expect root.GetMenu(1011).Key, "findnext", "GetMenu below two levels"
Expect root.GetMenu(1005).ArrayIndex, 1, "GetMenu of a recent file"
Expect IsEmpty(openItem.RaiseClickEvent()), True, "RaiseClickEvent result"

' Live updates reach the rendered controls.
saveItem.Caption = "Save &As..."
Expect bars.ControlProp(bars.FindControl(1003), "Caption"), "Save &As...", "caption forwarded"

' The listing, in tree order, under the nodes' keys.
Dim list : Set list = CreateObject("XCHost.Collection")
Expect root.GetMenuList(list), True, "GetMenuList"
Expect list.Count & " " & list.Item(4).MenuSeperator, "12 True", "listed nodes"
Expect list.Item("findnext").Caption, "Find &Next", "listed by key"

Dim title, titles
For Each title In root.SubMenus
    titles = titles & title.Caption & "|"
Next
Expect titles, "&File|&Edit|&Window|", "For Each over the titles"

' Without a command-bars object nothing is rendered.
Expect root.RenderMenu(Nothing), False, "RenderMenu(Nothing)"

' A failing assignment reaches the script as an error.
bars.DestroyControl 1007
exitItem.Caption = "Quit" : ExpectError &H8000FFFF, "a destroyed control"
Expect exitItem.Caption, "Quit", "the caption is stored anyway"

Expect Err.Number, 0, "the end"
WScript.Echo "zuv-test: reached the end"
WScript.Quit failures
