#!/usr/bin/env bash
# Prints "32" when this machine's kernel runs 32-bit x86 programs (so 32-bit Wine
# can run the 32-bit Windows build), "64" otherwise (a kernel without IA32
# emulation, as on some virtual machines). Needs only binutils.
set -euo pipefail
probe=$(mktemp -d /tmp/brivel-probe-XXXXXX)
trap 'rm -rf "$probe"' EXIT
printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' |
  as --32 -o "$probe/p.o" - && ld -m elf_i386 -o "$probe/p" "$probe/p.o"
if "$probe/p" 2>/dev/null; then echo 32; else echo 64; fi
