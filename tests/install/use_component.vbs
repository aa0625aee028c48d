' What a deployed host does: creates both classes by ProgID, renders a menu
' and a toolbar into the stand-in command bars and finds a command by its
' ID.  Prints PASS as its last line when every check held.  Runs with
' tests/support/check.vbs joined in front of it (see msi_test.sh).
On Error Resume Next
Dim bars : Set bars = CreateObject("XCHost.CommandBars")
Expect Err.Number, 0, "the stand-in host"
Dim root : Set root = CreateObject("zuvXCHandler.xMenu")
Expect Err.Number, 0, "CreateObject zuvXCHandler.xMenu"
If failures > 0 Then WScript.Quit 1

root.StartID = 1000
Dim fileMenu : Set fileMenu = NewMenu("&File")
root.SubMenus.Add fileMenu, "file"
Dim openItem : Set openItem = NewMenu("&Open...")
openItem.ShortCutFirstKey = 8
openItem.ShortCutSecondKey = 79
fileMenu.SubMenus.Add openItem, "open"
Expect root.RenderMenu(bars), True, "RenderMenu"
Expect fileMenu.ID & " " & openItem.ID, "1001 1002", "IDs"
Expect root.GetMenu(1002).Caption, "&Open...", "GetMenu"
Expect bars.KeyBinding(1), "Ctrl+O (8, 79) -> 1002", "shortcut"

Dim tools : Set tools = CreateObject("zuvXCHandler.xToolBar")
Expect Err.Number, 0, "CreateObject zuvXCHandler.xToolBar"
tools.StartID = 2000
Dim button : Set button = CreateObject("zuvXCHandler.xToolBar")
button.Caption = "Print"
tools.Buttons.Add button, "print"
Expect tools.RenderToolBar(bars), True, "RenderToolBar"
Expect tools.GetToolBar(2001).Caption, "Print", "GetToolBar"

If failures = 0 Then WScript.Echo "PASS"
WScript.Quit failures
