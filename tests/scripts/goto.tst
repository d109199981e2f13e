// Backward and forward gotos; a statement may follow a label on its line.
i = 0
:again
i++
if (i < 3) goto(again)
i + 0
goto(skip)
"skipped"
:skip "landed"
j = 0
while (1) {
    j++
    if (j == 4) goto(out)
}
:out
j + 0
goto( spaced )
"skipped too"
:spaced
"end"
