' What a script host sees of the toolbar, late-bound: a tree built by name,
' the rendering into the stand-in command bars, lookups, live updates and
' For Each.
On Error Resume Next

Function NewNode(caption)
    Set NewNode = CreateObject("zuvXCHandler.xToolBar")
    NewNode.Caption = caption
End Function

Dim bars, root, a, sep, b, c, d, e, node, names
Set bars = CreateObject("XCHost.CommandBars")
Set root = NewNode("Root")
Expect Err.Number, 0, "CreateObject"
' StartID 100: A, a separator, B with the entries C and D, E.
root.StartID = 100
Set a = NewNode("A") : root.Buttons.Add a
Set sep = NewNode("") : sep.ToolBarSeperator = True : root.Buttons.Add sep
Set b = NewNode("B") : root.Buttons.Add b, "KeyB"
Set c = NewNode("C") : b.ButtonMenus.Add c
Set d = NewNode("D") : b.Buttons.Add d
Set e = NewNode("E") : root.Buttons.Add e
Expect root.Buttons.Count & " " & (root.Buttons("keyb") Is b) & " " & (b.ButtonMenus Is b.Buttons), "4 True True", _
    "Count, Item by key in another letter case, ButtonMenus"

Expect root.RenderToolBar(bars), True, "RenderToolBar"
Expect a.ID & " " & b.ID & " " & c.ID & " " & d.ID & " " & e.ID & " " & sep.ID, "101 102 103 104 105 0", "IDs"
Expect sep.IsToolBarDesigned & " " & b.IsToolBarDesigned & " " & root.IsToolBarDesigned, "False True False", "designed"
Expect c.Parent Is b And a.Parent Is root, True, "parents"
Expect "" & (root.GetToolBar(103) Is c) & " " & (root.GetToolBar(100) Is Nothing), "True True", "GetToolBar"
e.Caption = "E2"
e.Enabled = False
Expect bars.ControlProp(bars.FindControl(105), "Caption") & " " & bars.ControlProp(bars.FindControl(105), "Enabled"), _
    "E2 False", "forwarded"
For Each node In root.Buttons
    names = names & node.Caption & ","
Next
Expect names, "A,,B,E2,", "For Each order"

WScript.Echo "zuv-test: reached the end"
WScript.Quit failures
