#!/bin/sh
# Fails when the main window's class publishes a widget: a public data member that is a
# pointer, a reference or a smart pointer (tests and other windows must find parts by name),
# or a value of one of the TYPEs given.
# Usage: window_members_private.sh HEADER [CLASS [TYPE...]]
header=${1:?header}
class=${2:-Main}
[ $# -ge 2 ] && shift 2 || shift $#
types=$(printf '%s|' "$@")
awk -v class="$class" -v types="${types%|}" '
function trim(s) { gsub(/^[ \t\r\n]+|[ \t\r\n]+$/, "", s); return s }
# One finished statement at the class level: a data member unless it declares a function.
function judge(text,    decl) {
    text = trim(text)
    if (access != "public" || text == "" || text ~ /(^|[^A-Za-z0-9_])operator([^A-Za-z0-9_]|$)/) return
    decl = text
    sub(/[={].*/, "", decl)
    if (decl ~ /\(/ || decl ~ /^(using|friend|typedef|enum|class|struct|union)[ \t]/) return
    if (decl ~ /[*&]/ || decl ~ /(QPointer|unique_ptr|shared_ptr|weak_ptr)[ \t]*</ ||
        (types != "" && decl ~ ("(^|[^A-Za-z0-9_])(" types ")([^A-Za-z0-9_]|$)"))) {
        printf "%s:%d: public member: %s\n", FILENAME, line, text
        bad = 1
    }
}
BEGIN { depth = -1; paren = 0; access = ""; bad = 0; found = 0; publics = 0 }
{
    sub(/\/\/.*/, "")
    if (depth < 0) {
        if ($0 ~ "^[ \t]*class[ \t]+" class "([ \t]*:|[ \t]*\\{|[ \t]*$)") { depth = 0; found = 1; access = "private"; buffer = "" }
        else next
    }
    if (depth == 1) {
        label = trim($0)
        if (label ~ /^(public|protected|private)([ \t]+(slots|Q_SLOTS))?[ \t]*:$/) {
            split(label, word, /[ \t:]/); access = word[1]; buffer = ""
            if (access == "public") publics++
            next
        }
        if (label ~ /^(signals|Q_SIGNALS)[ \t]*:$/) { access = "signals"; buffer = ""; next }
        if (label ~ /^Q_(OBJECT|GADGET)$/) next
    }
    n = length($0)
    for (i = 1; i <= n; i++) {
        c = substr($0, i, 1)
        # Braces inside a parameter list are default arguments.
        if (depth == 1 && c == "(") paren++
        else if (depth == 1 && c == ")") paren--
        if (depth == 1 && paren > 0) { buffer = buffer c; continue }
        if (c == "{") {
            if (depth == 1) opened = buffer
            depth++
            if (depth == 1) { buffer = ""; continue }
        } else if (c == "}") {
            depth--
            if (depth == 0) { depth = -2; break }
            # A body (function, nested type) ends the declaration; a braced initialiser does not.
            if (depth == 1 && (opened ~ /\(/ || opened ~ /(^|[ \t])(class|struct|enum|union)[ \t]/)) buffer = ""
            continue
        } else if (c == ";" && depth == 1) {
            line = FNR; judge(buffer); buffer = ""; continue
        }
        if (depth == 1) buffer = buffer c
    }
    if (depth == 1) buffer = buffer " "
    if (depth == -2) exit
}
END {
    if (!found) { printf "%s: no class %s\n", FILENAME, class; exit 2 }
    if (!publics) { printf "%s: class %s has no public section\n", FILENAME, class; exit 2 }
    exit bad
}' "$header"
