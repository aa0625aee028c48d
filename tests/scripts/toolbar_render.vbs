' Renders a small toolbar tree into the stand-in command bars, as a script
' host would, prints the host's view of it and checks the essentials.
' Exits with the number of failed checks (an uncaught error would exit 0).
Option Explicit
On Error Resume Next

Dim failures : failures = 0

Sub Check(condition, what)
    If Err.Number <> 0 Then
        WScript.Echo "FAIL: " & what & " (error " & Err.Number & ": " & Err.Description & ")"
        Err.Clear
        failures = failures + 1
    ElseIf Not condition Then
        WScript.Echo "FAIL: " & what
        failures = failures + 1
    End If
End Sub

Function NewNode(caption)
    Dim node
    Set node = CreateObject("zuvXCHandler.xToolBar")
    node.Caption = caption
    Set NewNode = node
End Function

Dim bars, root, a, sep, b, c, d, e, ok, found, node, names
Set bars = CreateObject("XCHost.CommandBars")
Check IsObject(bars), "create XCHost.CommandBars"
Set root = NewNode("Root")
Check IsObject(root), "create zuvXCHandler.xToolBar"
If failures > 0 Then WScript.Quit failures

' StartID 100: A, a separator, B with the entries C and D, E.
root.StartID = 100
Set a = NewNode("A") : root.Buttons.Add a
Set sep = NewNode("") : sep.ToolBarSeperator = True : root.Buttons.Add sep
Set b = NewNode("B") : root.Buttons.Add b, "KeyB"
Set c = NewNode("C") : b.ButtonMenus.Add c
Set d = NewNode("D") : b.Buttons.Add d
Set e = NewNode("E") : root.Buttons.Add e
Check root.Buttons.Count = 4, "four buttons"
Check root.Buttons("keyb") Is b, "lookup by key in other letter case"
Check b.ButtonMenus Is b.Buttons, "ButtonMenus is Buttons"

ok = root.RenderToolBar(bars)
Check ok = True, "RenderToolBar returns True"
WScript.Echo bars.Dump

Check a.ID = 101 And b.ID = 102 And c.ID = 103 And d.ID = 104 And e.ID = 105, "IDs 101 to 105"
Check sep.ID = 0 And Not sep.IsToolBarDesigned, "the separator is not rendered"
Check b.IsToolBarDesigned And Not root.IsToolBarDesigned, "designed flags"
Check c.Parent Is b And a.Parent Is root, "parents"
Check bars.ControlProp(bars.FindControl(102), "Type") = 4, "B has a drop-down"
Check bars.ControlProp(bars.FindControl(102), "Group") = True, "B starts a group"
Check bars.ControlProp(bars.FindControl(105), "Group") = False, "E does not start a group"
Check bars.ControlProp(bars.FindControl(103), "Style") = 0, "drop-down entries get no style"
Check bars.ControlProp(bars.FindControl(101), "Style") = 2, "buttons get style 2"

Set found = root.GetToolBar(103)
Check found Is c, "GetToolBar(103) is C"
Check root.GetToolBar(100) Is Nothing, "GetToolBar of the StartID is Nothing"

' Live forwarding after rendering.
e.Caption = "E2"
e.Enabled = False
Check bars.ControlProp(bars.FindControl(105), "Caption") = "E2", "caption forwarded"
Check bars.ControlProp(bars.FindControl(105), "Enabled") = False, "enabled forwarded"

' Nothing as the command bars: False, no script error.
ok = root.RenderToolBar(Nothing)
Check ok = False, "RenderToolBar(Nothing) returns False"

' For Each visits the buttons in order.
names = ""
For Each node In root.Buttons
    names = names & node.Caption & ","
Next
Check names = "A,,B,E2,", "For Each order (" & names & ")"

' A failing forwarding put reaches the script as an error.
bars.DestroyControl 101
Dim failed
Err.Clear
a.Caption = "Gone"
failed = (Err.Number <> 0)
Err.Clear
Check failed, "forwarding to a destroyed control fails"
Check a.Caption = "Gone", "the caption is stored anyway"

If failures = 0 Then WScript.Echo "toolbar_render: all checks passed"
WScript.Echo "zuv-test: reached the end"
WScript.Quit failures
