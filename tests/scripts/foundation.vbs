' Builds a nested menu tree from a script, walks it with For Each, reads the
' defaults of a new node and checks the errors a script sees.
On Error Resume Next

Dim root : Set root = CreateObject("zuvXCHandler.xMenu")
Expect Err.Number, 0, "CreateObject zuvXCHandler.xMenu"

' Defaults of a new node.
With root
    Expect .Caption & "|" & .Key & "|" & .Tag & "|" & .ID & "|" & .StartID & "|" & .ArrayCount & "|" & .ArrayIndex, _
        "|||0|0|0|0", "texts and numbers"
    Expect .Checked & " " & .Enabled & " " & .Visible & " " & .MenuSeperator & " " & .WindowsList, _
        "False True True False False", "states"
    Expect .MaxButton & " " & .MinButton & " " & .ControlBox & " " & .ShortCutFirstKey & " " & .ShortCutSecondKey, _
        "True True True 0 0", "menu-bar settings and shortcut"
    Expect .IsArray & " " & .IsArrayChild & " " & .IsArrayBaseZero & " " & .IsMenuDesigned & " " & .Count, _
        "False False True False -1", "array flags, designed and Count"
    Expect "" & (.ArrayParent Is Nothing) & " " & (.CmdBarControl Is Nothing) & " " & (.CmdBarPopup Is Nothing), _
        "True True True", "objects"
    Expect .SubMenus.Count & " " & .ArrayMenu.Count & " " & (.SubMenus Is .ArrayMenu), "0 0 False", "collections"
End With

' A nested tree, walked with For Each.
Dim fileMenu, editMenu, item, names, child
Set fileMenu = root.SubMenus.Add(NewMenu("&File"), "File")
Set editMenu = root.SubMenus.Add(NewMenu("&Edit"), "Edit")
fileMenu.SubMenus.Add NewMenu("&New"), "New"
fileMenu.SubMenus.Add NewMenu("&Open...")
fileMenu.SubMenus.Add NewMenu("E&xit"), "Exit"
editMenu.SubMenus.Add NewMenu("&Copy"), "Copy"
For Each item In root.SubMenus
    names = names & item.Caption & "["
    For Each child In item.SubMenus
        names = names & child.Caption & ";"
    Next
    names = names & "]"
Next
Expect names, "&File[&New;&Open...;E&xit;]&Edit[&Copy;]", "For Each order"
Expect root.SubMenus("file") Is fileMenu, True, "Item by key, other letter case"
Expect root.SubMenus(2) Is editMenu, True, "Item by position"
Expect fileMenu.SubMenus.Item("EXIT").Key, "Exit", "key given by Add"

' Errors a script sees.
root.SubMenus.Add NewMenu("again"), "FILE" : ExpectError 457, "a key in use"
Set item = root.SubMenus(3) : ExpectError 9, "Item past the end"
Set item = root.SubMenus("missing") : ExpectError 5, "Item of a missing key"
root.SubMenus.Remove "missing" : ExpectError 5, "Remove of a missing key"
root.SubMenus.Remove 0 : ExpectError 9, "Remove at 0"
root.SubMenus.Remove "edit" : ExpectError 0, "Remove by key, other letter case"
Expect root.SubMenus.Count & " " & root.SubMenus(1).Caption, "1 &File", "what the errors left"

' ArrayCount above 100 is refused (reported as an event, not an error).
root.ArrayCount = 100
root.ArrayCount = 101
Expect root.ArrayCount, 100, "ArrayCount limit"

WScript.Echo "zuv-test: reached the end"
WScript.Quit failures
