#!/usr/bin/env bash
# The shared library takes no heap function from the system: a build that brought in a container, a
# string, an exception or a strdup would import one of these.
set -euo pipefail
library=$1

# The C allocator and the C library calls that return heap memory; every operator new and delete
# (_Znw, _Zna, _Zdl, _Zda); the C++ runtime's exception objects, which live on the heap.
forbidden='^(malloc|calloc|realloc|reallocarray|free|aligned_alloc|posix_memalign|memalign|valloc|pvalloc'
forbidden+='|strdup|strndup|wcsdup|asprintf|vasprintf|getline|getdelim|open_memstream|fopen|fdopen|popen'
forbidden+='|_Znw.*|_Zna.*|_Zdl.*|_Zda.*|__cxa_allocate_exception|__cxa_throw)$'

imports=$(nm -D --undefined-only "$library" | awk '{print $NF}' | sed 's/@.*//')
[ -n "$imports" ] || { echo "no imports read from $library"; exit 1; }
found=$(grep -E "$forbidden" <<<"$imports" || true)
if [ -n "$found" ]; then
  echo "$library imports heap functions:"
  echo "$found"
  exit 1
fi
echo "$(wc -l <<<"$imports") imports, none of them a heap function"
