' The stand-in host driven from a script, as the demo and the examples drive it.
Dim cb, bar, file, item, list, x, n
Set cb = CreateObject("XCHost.CommandBars")
Set bar = cb.ActiveMenuBar
Set file = bar.Controls.Add(2, 1001, "File")
Set item = file.CommandBar.Controls.Add(1, 1002, "Open")
item.Checked = True
cb.KeyBindings.Add 8, 79, 1002

Check cb.Dump = "MenuBar ""Menu Bar""" & vbLf & _
    "  Control#1 type=2 id=1001 ""File"" checked=False enabled=True visible=True group=False" & vbLf & _
    "    Control#1.CommandBar" & vbLf & _
    "      Control#2 type=1 id=1002 ""Open"" checked=True enabled=True visible=True group=False" & vbLf & _
    "KeyBindings" & vbLf & "  Ctrl+O (8, 79) -> 1002" & vbLf, "Dump: " & cb.Dump
Check cb.LogLine(cb.LogCount) = "KeyBindings call 1 (Integer 8, Integer 79, Integer 1002)", "last log line"
Check cb.ControlCount("Control#1.CommandBar") = 1, "ControlCount"
Check cb.ControlProp("Control#2", "Checked") = True, "ControlProp"
Check item.Label = "Control#2", "Label"

' An injected failure reaches the script as a run-time error.
cb.FailCall "Control#2", "put 13", 1, 1004, "Refused"
On Error Resume Next
item.Enabled = False
Check Err.Number = 1004 And Err.Description = "Refused" And Err.Source = "XCHost", _
    "injected error: " & Err.Number & " " & Err.Description & " " & Err.Source
Err.Clear
On Error GoTo 0

' The collection: keys, errors and For Each.
Set list = CreateObject("XCHost.Collection")
list.Add item, "open"
list.Add "text"
On Error Resume Next
list.Add "again", "OPEN"
Check Err.Number = 457, "duplicate key: " & Err.Number
Err.Clear
On Error GoTo 0
Check list.Count = 2 And list("Open").Label = "Control#2" And list(2) = "text", "collection items"
n = 0
For Each x In list
    n = n + 1
Next
Check n = 2, "For Each"

If failures > 0 Then WScript.Quit 1
WScript.Echo "host script passed"
WScript.Echo "zuv-test: reached the end"
