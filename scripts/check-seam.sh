#!/usr/bin/env bash
# The product's own folders reach the operating system only through platform/:
# none of them includes a POSIX or Linux header.
set -euo pipefail
cd "$(dirname "$0")/.."
headers='unistd|fcntl|dlfcn|pthread|signal|poll|dirent|pwd|grp|termios|spawn|syslog|sched|semaphore|netdb|glob|libgen|strings|utime|wordexp|iconv|langinfo|nl_types|ftw|fnmatch|regex|aio|mqueue|elf|link|execinfo|malloc|alloca|err|error|getopt|sys/[a-z_/]+|linux/[a-z_/]+|asm/[a-z_/]+|netinet/[a-z_/]+|arpa/[a-z_/]+|net/[a-z_/]+|bits/[a-z_/]+'
found=$(git grep -nE "^[[:space:]]*#[[:space:]]*include[[:space:]]*<(${headers})\.h>" -- TK UDB OLE MSS ORA tarvex GUI2 common || true)
if [ -n "$found" ]; then
  echo "$found"
  echo "check-seam: the lines above include operating-system headers outside platform/"
  exit 1
fi
echo "check-seam: the product's folders include no operating-system header"
