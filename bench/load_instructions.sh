#!/bin/sh
# Instructions executed by the whole `kv218 load` process and by the whole
# `objcopy -I ihex -O binary` process on the load benchmark's files, counted by
# valgrind --tool=callgrind (dynamic loader included, the kernel's work not): a figure that,
# unlike the times, does not depend on what else the machine is doing.
# Usage: bench/load_instructions.sh [BUILD]   (BUILD: the build folder, build by default)
set -eu
build=${1:-build}
kv218=${KV218_EXE:-$build/bin/kv218}
tmp=${TMPDIR:-/tmp}
# The benchmark writes the files it measures; with no benchmark selected it only writes them.
"$build/bench/kv218_bench_load_process" --benchmark_filter='^$' >/dev/null 2>&1 || true

count() {  # the instructions of one process
  out=$(mktemp)
  valgrind --tool=callgrind --callgrind-out-file="$out" "$@" >/dev/null 2>"$out.log"
  sed -n 's/^summary: *//p' "$out"
  rm -f "$out" "$out.log"
}

printf '%-18s %12s %12s %6s\n' file kv218 objcopy ratio
for entry in type0-dense-crlf:kv218-bench-full-tk.hex:0 type0-config-lf:kv218-bench-type0-16.hex:0 \
  type0-32byte-lf:kv218-bench-type0-32.hex:0 type0-config-crlf:kv218-bench-type0-16-crlf.hex:0 \
  type1-dense-lf:kv218-bench-type16.hex:1 type2-dense-lf:kv218-bench-type16.hex:2; do
  name=${entry%%:*}
  rest=${entry#*:}
  file=$tmp/${rest%%:*}
  type=${rest#*:}
  a=$(count "$kv218" --settings "$tmp/kv218-bench-load.INI" load "$file" --type "$type")
  b=$(count objcopy -I ihex -O binary "$file" "$tmp/kv218-bench-objcopy.bin")
  awk -v n="$name" -v a="$a" -v b="$b" 'BEGIN { printf "%-18s %12d %12d %6.3f\n", n, a, b, a / b }'
done
