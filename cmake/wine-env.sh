# Sourced by every script of the project that starts Wine (the build's
# wine-run.sh, the test fixtures, tools/run.sh): the environment all Wine
# processes of the project share, on both architectures.
#
# - QEMU_RESERVED_VA: the i686 programs run under 32-bit Wine whose loader is
#   executed by qemu-user.  qemu treats fixed mappings as hints, and Wine
#   reserves its low memory in pieces; without a guest space kept below 2 GiB
#   some land above it and the shared user data cannot be mapped (c0000018).
#   A 64-bit prefix needs it too: it builds its 32-bit side through qemu.
# - winedbg.exe=d: some of Wine's background processes crash under qemu, and
#   the debugger Wine starts for them loops for ever; disabled, they just exit.
#   A crashing test program is still reported: see tests/wine-check.sh.
export QEMU_RESERVED_VA=0x7fff0000
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEDEBUG="${WINEDEBUG:--all}"
