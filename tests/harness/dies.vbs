' Dies on purpose half-way, with an uncaught run-time error: the harness must
' report it as failed (the test is marked WILL_FAIL), although Wine's cscript
' exits 0 then.
Dim d : Set d = CreateObject("Scripting.Dictionary")
d.Add "a", 1
d.Add "a", 2
WScript.Echo "zuv-test: reached the end"
