#!/bin/sh
# Fails when a product object refers to a heap allocator: the C runtime's,
# C++ new and delete in every form, the Win32 heaps or BSTR allocation.
# Usage: no_heap_check.sh NM FILE... (static libraries and object files; an
# argument may hold several, separated by semicolons, as CMake lists come)
set -uf
nm=${1:?usage: no_heap_check.sh NM FILE...}
shift
files=$(IFS=';'; for arg in "$@"; do for file in $arg; do printf '%s\n' "$file"; done; done)
[ -n "$files" ] || { echo "no files to check" >&2; exit 2; }

allocators='^(malloc|calloc|realloc|free|_?recalloc|_expand|_msize|_aligned_(offset_)?(malloc|realloc|recalloc|free)|_?strdup|_?wcsdup|_mbsdup|_?strndup|wcsndup|Heap(Re)?Alloc|HeapFree|Global(Re)?Alloc|Local(Re)?Alloc|CoTaskMem(Re)?Alloc|SysAllocString(Len|ByteLen)?|SysReAllocString(Len)?)$'
# Operator new and delete: _Znw/_Zna and the width of size_t (j, m or y),
# _Zdl/_Zda and Pv, whatever nothrow, sized or aligned tail follows.
operators='^_Z(n[wa][jmy]|d[la]Pv)'

status=0
symbols=0
count=0
IFS='
'
for file in $files; do
    count=$((count + 1))
    listing=$("$nm" -A "$file") || { echo "$nm could not read $file" >&2; exit 2; }
    symbols=$((symbols + $(printf '%s\n' "$listing" | grep -c .)))
    # nm -A prints "file[:member]: [address] type name"; dllimports carry __imp_.
    found=$(printf '%s\n' "$listing" | awk -v a="$allocators" -v o="$operators" \
        '{ n = $NF; sub(/^__imp_/, "", n); if (n ~ a || n ~ o) print $1, n }' | sort -u)
    if [ -n "$found" ]; then
        echo "heap use in product code:"
        printf '%s\n' "$found"
        status=1
    fi
done
# An empty listing would prove nothing.
[ "$symbols" -gt 0 ] || { echo "no symbols read" >&2; exit 2; }
[ $status -eq 0 ] && echo "no heap references in $count file(s), $symbols symbols read"
exit $status
