#!/bin/sh
# Fails when a product object needs what the C runtime's start-up does and
# tallyvox.exe's own entry point does not: run static constructors or
# destructors, or set up thread-local variables.
# Usage: no_static_init_check.sh OBJDUMP FILE... (static libraries and object
# files; an argument may hold several, separated by semicolons, as CMake lists come)
set -uf
objdump=${1:?usage: no_static_init_check.sh OBJDUMP FILE...}
shift
files=$(IFS=';'; for arg in "$@"; do for file in $arg; do printf '%s\n' "$file"; done; done)
[ -n "$files" ] || { echo "no files to check" >&2; exit 2; }
IFS='
'
status=0
count=0
for file in $files; do
    headers=$("$objdump" -h "$file") || { echo "$objdump could not read $file" >&2; exit 2; }
    count=$((count + $(printf '%s\n' "$headers" | grep -c '^ *[0-9]')))
    found=$(printf '%s\n' "$headers" | awk '$2 ~ /^\.(ctors|dtors|init_array|fini_array|tls)/ { print $2 }' | sort -u)
    if [ -n "$found" ]; then
        echo "start-up work in $file:" $found
        status=1
    fi
done
[ "$count" -gt 0 ] || { echo "no sections read" >&2; exit 2; }
[ $status -eq 0 ] && echo "no static constructors or thread-local data in $count sections"
exit $status
