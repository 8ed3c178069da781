#!/usr/bin/env python3
"""Finds `co_return` statements that would empty the object they return.

QCoro 0.8's TaskPromise::return_value(U&&), chosen when the returned type differs from the
task's value type, calls std::move on its argument, and a non-const lvalue binds there: so
`co_return found->second;` in a Task<Result<QString, E>> leaves the map entry empty. Returning
an explicit copy (`co_return QString(found->second);`) is always safe.

The heuristic, on the text with comments and string literals blanked:
- `co_return X;` where X is a plain designator (names joined by `.` or `->`, subscripts, a
  leading `*`, no call) is flagged unless X is a single name declared by value in the innermost
  function or lambda around the statement (its parameters or its body before the statement).
  Members, map entries, dereferenced iterators and optionals, reference parameters and
  captured variables are therefore all flagged; so is a member of a local (`co_return a.b;`),
  which is harmless but as easily written as a copy.
- Names starting with `m_` are members whatever the declarations say.
- A name declared `const T& x` is fine: a const lvalue is copied, never moved.
- A designator followed by an accessor that hands out a reference (`.value()`, `.at(k)`,
  `.front()`, `.back()`, `.first()`, `.last()`, `*it`) is flagged too: `co_return it.value();`
  moves from the map entry unless the container is const.
Any other call (a constructor, std::move, a factory) is left alone. Exits non-zero when it finds
one.
"""
import pathlib, re, sys

DESIGNATOR = re.compile(r"^\*?\s*\(?\s*\*?\s*[A-Za-z_]\w*\s*\)?(\s*(\.|->)\s*[A-Za-z_]\w*|\s*\[[^\]]*\])*$")
ACCESSOR = re.compile(r"^(.*?)\s*(\.|->)\s*(value|front|back|first|last|at)\s*\([^()]*\)$")
CONTROL = {"if", "for", "while", "switch", "catch", "return", "co_return", "sizeof", "decltype",
           "alignof", "co_await", "co_yield"}
NOT_A_TYPE = CONTROL | {"else", "case", "new", "delete", "throw", "goto", "do", "operator"}


def blank(text):
    """Comments and string literals say nothing about the code; blank them, keeping offsets."""
    def spaces(match):
        return re.sub(r"[^\n]", " ", match.group(0))
    text = re.sub(r'R"(\w*)\((?:.|\n)*?\)\1"', spaces, text)
    text = re.sub(r'"(?:\\.|[^"\\\n])*"', spaces, text)
    text = re.sub(r"'(?:\\.|[^'\\\n])*'", spaces, text)
    text = re.sub(r"//[^\n]*", spaces, text)
    return re.sub(r"/\*.*?\*/", spaces, text, flags=re.S)


def matching_open(text, close, opener, closer):
    depth = 0
    for i in range(close, -1, -1):
        if text[i] == closer:
            depth += 1
        elif text[i] == opener:
            depth -= 1
            if depth == 0:
                return i
    return -1


def enclosing_function(text, position):
    """(parameters, body-before-position) of the innermost function or lambda around position."""
    depth = 0
    for i in range(position - 1, -1, -1):
        if text[i] == "}":
            depth += 1
        elif text[i] == "{":
            if depth > 0:
                depth -= 1
                continue
            # A body follows `)` plus qualifiers, `noexcept`, `mutable` or a trailing return type.
            head = text[:i].rstrip()
            head = re.sub(r"(\s*(const|override|final|noexcept|mutable|&|&&))*$", "", head)
            head = re.sub(r"->[^;{}()]*(\([^()]*\))?[^;{}()]*$", "", head).rstrip()
            if not head.endswith(")"):
                continue
            open_paren = matching_open(head, len(head) - 1, "(", ")")
            keyword = re.search(r"(\w+)\s*$", head[:open_paren])
            if keyword and keyword.group(1) in CONTROL:
                continue
            return head[open_paren + 1:-1], text[i + 1:position]
    return "", text[:position]


def declared_by_value(name, parameters, body):
    """True when `name` is declared as a by-value object (or a const reference)."""
    for scope in (parameters, body):
        for match in re.finditer(r"([\w>\]*&\s:]*?)\b" + re.escape(name) + r"\s*(=|\{|;|\(|,|\)|:(?!:)|$)", scope):
            before = match.group(1).rstrip()
            last_word = re.search(r"(\w+)\s*$", before)
            declaration = before.endswith((">", "&", "*")) or (last_word and last_word.group(1) not in NOT_A_TYPE)
            if not declaration or re.search(r"[.\-]>?\s*$", before) or before.endswith("::"):
                continue
            if before.endswith("&"):
                # A const reference is copied from; any other reference is moved from.
                statement_start = max(scope.rfind(c, 0, match.end(1)) for c in ";{}(,")
                if re.search(r"\bconst\b", scope[statement_start + 1:match.end(1)]):
                    return True
                return False
            return True
    return False


def findings(root):
    for path in sorted(root.rglob("*")):
        if path.suffix not in (".cpp", ".h") or any(p.startswith("build") for p in path.relative_to(root).parts):
            continue
        text = blank(path.read_text(encoding="utf-8", errors="replace"))
        for match in re.finditer(r"\bco_return\b", text):
            end = text.find(";", match.end())
            expression = " ".join(text[match.end():end].split())
            if not expression:
                continue
            accessor = ACCESSOR.match(expression)
            if accessor and DESIGNATOR.match(accessor.group(1)):
                line = text.count("\n", 0, match.start()) + 1
                yield f"{path.relative_to(root)}:{line}: co_return {expression}; may move from what it refers to: return a copy"
                continue
            if not DESIGNATOR.match(expression):
                continue
            name = re.sub(r"[()*\s]", "", expression)
            if re.fullmatch(r"\w+", name) and not name.startswith("m_"):
                if name in ("true", "false", "nullptr", "this"):
                    continue
                parameters, body = enclosing_function(text, match.start())
                if declared_by_value(name, parameters, body):
                    continue
            line = text.count("\n", 0, match.start()) + 1
            yield f"{path.relative_to(root)}:{line}: co_return {expression}; moves from it: return a copy"


if __name__ == "__main__":
    bad = list(findings(pathlib.Path(__file__).resolve().parent.parent))
    for entry in bad:
        print(entry)
    sys.exit(1 if bad else 0)
