// String expressions: operands written one after another are joined.
"hello"
'single'
"a" "b" 'c'
s = "abc"
// A lone variable is a number expression: its value is dropped unwritten.
s
"" s
t = s "def"
"" t
n = 42
"n=" n
u = n "!"
"" u
d = 2.5
"d=" d
v = "" n
v "|"
// Two plain variables: a number assignment; an empty literal first copies the text.
k = s
k "|"
k = "" s
k "|"
e = ""
e "x"
"tab\tin" " text"
'it''s'
"" s s s
