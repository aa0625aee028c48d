' The stand-in host driven from a script, for what the component's own script
' tests do not read from it: an injected failure and the collection's keys
' and enumeration.
Dim cb, item, list, x, n
Set cb = CreateObject("XCHost.CommandBars")
Set item = cb.ActiveMenuBar.Controls.Add(2, 1001, "File").CommandBar.Controls.Add(1, 1002, "Open")
Check cb.LogLine(cb.LogCount) = "Control#1.CommandBar.Controls call 2 (Integer 1, Integer 1002, String ""Open"")", _
    "last log line: " & cb.LogLine(cb.LogCount)

' An injected failure reaches the script as a run-time error.
cb.FailCall "Control#2", "put 13", 1, 1004, "Refused"
On Error Resume Next
item.Enabled = False
Check Err.Number = 1004 And Err.Description = "Refused" And Err.Source = "XCHost", _
    "injected error: " & Err.Number & " " & Err.Description & " " & Err.Source
Err.Clear
On Error GoTo 0

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
WScript.Echo "zuv-test: reached the end"
