' A host that re-creates its command bars renders the same menu again: a
' File menu with an entry and a list of recent files.  The second rendering
' must work like the first, the list must hold only its live entries after a
' refresh, and changes must reach the controls rendered last.
Function NewNode(parent, caption)
    Dim n : Set n = NewMenu(caption)
    parent.SubMenus.Add n
    Set NewNode = n
End Function

On Error Resume Next

Dim root : Set root = CreateObject("zuvXCHandler.xMenu")
Expect Err.Number, 0, "CreateObject"
root.StartID = 1000
Dim fileMenu, openItem, recent
Set fileMenu = NewNode(root, "&File")
Set openItem = NewNode(fileMenu, "&Open...")
Set recent = NewNode(fileMenu, "Recent file")
recent.IsArray = True
recent.ArrayCount = 2

Dim bars : Set bars = CreateObject("XCHost.CommandBars")
Expect root.RenderMenu(bars), True, "first RenderMenu"
Dim firstRecent : Set firstRecent = recent.ArrayMenu(0)

' The window is re-created: new command bars, the same tree.
Set bars = Nothing
Set bars = CreateObject("XCHost.CommandBars")
Expect root.RenderMenu(bars), True, "RenderMenu into new command bars"
Expect bars.ControlCount("MenuBar"), 1, "titles on the new menu bar"
Expect bars.FindControl(1001) & " " & bars.FindControl(1002) & " " & bars.FindControl(1004), _
       "Control#1 Control#2 Control#4", "controls of the new menu"
Expect recent.ArrayMenu.Count & " " & recent.Count, "2 2", "recent files after rendering again"
Expect recent.ArrayMenu(0) Is firstRecent, False, "the list holds the new entries"
openItem.Caption = "&Open file..."
Expect bars.ControlProp("Control#2", "Caption"), "&Open file...", "caption reaches the new control"

' The list is refreshed: three entries, rendered again, each found by its ID.
recent.ArrayCount = 3
Set bars = CreateObject("XCHost.CommandBars")
Expect root.RenderMenu(bars), True, "RenderMenu after the refresh"
Expect recent.ArrayMenu.Count & " " & recent.Count, "3 3", "recent files after the refresh"
Dim j, entry
For j = 0 To 2
    Set entry = root.GetMenu(1003 + j)
    Expect entry.ArrayIndex, j, "index of recent file " & j
    Expect entry Is recent.ArrayMenu(j), True, "GetMenu finds recent file " & j
    entry.Checked = True
    Expect bars.ControlProp(bars.FindControl(1003 + j), "Checked"), True, "recent file " & j & " checked"
Next

Expect Err.Number, 0, "the end"
WScript.Echo "zuv-test: reached the end"
WScript.Quit failures
