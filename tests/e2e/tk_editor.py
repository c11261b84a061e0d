#!/usr/bin/python3
# An editor whose selection is not exported to PRIMARY (Tk's exportselection off), as some
# applications behave: copying (Ctrl+C) is the only way to get its selected text.
#   tk_editor.py FILE TITLE    opens FILE with its first line selected
import sys
import tkinter as tk

root = tk.Tk()
root.title(sys.argv[2])
root.geometry("800x300+40+120")
text = tk.Text(root, exportselection=False, width=80, height=12)
text.pack(fill="both", expand=True)
with open(sys.argv[1], encoding="utf-8") as f:
    text.insert("1.0", f.read())
text.tag_add("sel", "1.0", "1.end")
text.focus_set()
root.mainloop()
