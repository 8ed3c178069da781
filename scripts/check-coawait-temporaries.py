#!/usr/bin/env python3
"""Finds co_await expressions that create a lambda or a brace-initialized temporary, or that
sit inside a conditional expression.

g++ 12 destroys such temporaries twice when they appear inside a co_await full-expression
(measured: a closure capturing a QString or a shared_ptr by value corrupts the heap). Bind the
lambda, or the task, to a named local first. Exits non-zero when it finds one.
"""
import pathlib, re, sys

root = pathlib.Path(__file__).resolve().parent.parent
bad = []
for path in root.rglob("*"):
    if path.suffix not in (".cpp", ".h") or any(p.startswith("build") for p in path.relative_to(root).parts):
        continue
    text = path.read_text(encoding="utf-8", errors="replace")
    # Comments and string literals say nothing about the code; blank them, keeping line numbers.
    text = re.sub(r'"(?:\\.|[^"\\\n])*"', '""', text)
    text = re.sub(r"//[^\n]*", "", text)
    text = re.sub(r"/\*.*?\*/", lambda m: "\n" * m.group(0).count("\n"), text, flags=re.S)
    for match in re.finditer(r"co_await\b", text):
        end = text.find(";", match.end())
        expression = text[match.end():end]
        # A lambda introducer "[...](" or "[...] {" or an aggregate temporary "Type{...}".
        start = max(text.rfind(";", 0, match.start()), text.rfind("{", 0, match.start()), text.rfind("}", 0, match.start()))
        statement = text[start + 1:end]
        conditional = re.search(r"\?[^:]*:", re.sub(r"::", "", statement)) is not None
        if (re.search(r"\[[^\]\[]*\]\s*(\(|\{|mutable|->)", expression) or re.search(r"\b[A-Z]\w*\s*\{", expression)
                or conditional):
            line = text.count("\n", 0, match.start()) + 1
            bad.append(f"{path.relative_to(root)}:{line}: {' '.join(expression.split())[:100]}")
for entry in bad:
    print(entry)
sys.exit(1 if bad else 0)
