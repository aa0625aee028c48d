// A late-bound host (JScript): a toolbar tree with a drop-down rendered into
// the native command bars, then a pressed state and a tool tip forwarded.
// Prints "example: ok" when everything matched.
var failures = 0;
function expect(actual, expected, what) {
    if (actual !== expected) {
        WScript.Echo(what + ": got " + actual + ", expected " + expected);
        failures++;
    }
}
function button(parent, caption) {
    var node = new ActiveXObject("zuvXCHandler.xToolBar");
    node.Caption = caption;
    parent.Buttons.Add(node, caption);
    return node;
}

try {
    var bars = new ActiveXObject("zuvXCHandler.NativeCommandBars");
    var root = new ActiveXObject("zuvXCHandler.xToolBar");
    root.StartID = 2000;
    var bold = button(root, "Bold");
    var insert = button(root, "Insert");
    var date = button(insert, "Date");

    expect(root.RenderToolBar(bars), true, "RenderToolBar");
    expect(bold.CmdBarButton.Id, 2001, "Bold's command ID");
    expect(insert.CmdBarPopup.Id, 2002, "Insert's command ID");
    expect(date.CmdBarButton.Caption, "Date", "the drop-down entry");

    bold.Value = 1;                         // pressed
    expect(bold.CmdBarButton.Checked, true, "pressed state forwarded");
    bold.TooltipText = "Bold text";
    expect(bold.CmdBarButton.TooltipText, "Bold text", "tool tip forwarded");

    try {
        bars.Add("Side bar", 2);
        expect("no error", "error 5", "a toolbar on the side");
    } catch (e) {
        expect(e.number & 0xFFFF, 5, "a toolbar on the side");
    }
} catch (e) {
    WScript.Echo("error " + (e.number & 0xFFFF) + ": " + e.description);
    failures++;
}
if (failures === 0) WScript.Echo("example: ok");
else WScript.Quit(1);
