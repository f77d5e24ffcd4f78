#!/usr/bin/env bash
# Chapter: troubleshooting the machine's USB driver when its interface is missing
set -euo pipefail

# vantel doctor with the answers to its questions on standard input ("y" or "n", one a line).
doctor() {
    echo "\$ printf '$1' | vantel doctor"
    printf "$1" | "$VANTEL" doctor || true
    echo
}

# A damaged installation of the driver on this computer: a driver file too small to be whole,
# its setup information file with the precompiled one, and the device's registry entry, which
# only administrators and the system may change (the ;security line: its access list).
damaged_installation() {
    rm -rf windows registry.reg
    mkdir -p windows/System32/Drivers windows/Inf
    head -c 40000 /dev/zero >windows/System32/Drivers/Ostr472.sys
    printf '[Devices]\r\n%%Ostr472.DeviceDesc%%=Ostr472, USB\\VID_1d9f&PID_0002\r\n' \
        >windows/Inf/oem3.inf
    printf 'PNF' >windows/Inf/oem3.pnf
    cat >registry.reg <<'REG'
REGEDIT4

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\USB\VID_1D9F&PID_0002]
;security=hex:01,00,04,80,00,00,00,00,00,00,00,00,00,00,00,00,14,00,00,00,02,00,34,00,02,00,00,00,00,00,18,00,3f,00,0f,00,01,02,00,00,00,00,00,05,20,00,00,00,20,02,00,00,00,00,14,00,3f,00,0f,00,01,01,00,00,00,00,00,05,12,00,00,00

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\USB\VID_1D9F&PID_0002\5&2A3B&0&1]
"DeviceDesc"="Vantel embroidery machine (Ostr472)"

[HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Enum\USB\VID_1D9F&PID_0002\5&2A3B&0&1\Device Parameters]
REG
}

echo "With the machine plugged in, the library reaches it through its driver:"
echo "\$ vantel doctor"
VANTEL_MACHINE="embedded:$PWD/machine" "$VANTEL" doctor
echo

# From here on no machine is plugged in, and the Windows computer is the one prepared here.
export VANTEL_MACHINE=none VANTEL_WINDOWS_DIR="$PWD/windows" VANTEL_REGISTRY="$PWD/registry.reg"
export VANTEL_WINDOWS_VERSION=xp VANTEL_USER_IS_ADMIN=1
mkdir -p windows
printf "REGEDIT4\n\n" >registry.reg
echo "Windows XP without any trace of the driver:"
doctor ''

damaged_installation
echo "Windows XP with a damaged installation; the user declines:"
doctor 'n\n'
echo "... and now accepts twice, as an administrator:"
doctor 'y\ny\n'
echo "What is left of the driver's files and registry entry:"
echo "\$ find windows -type f; grep -c VID_1D9F registry.reg"
find windows -type f
grep -c VID_1D9F registry.reg || true
echo

damaged_installation
export VANTEL_WINDOWS_VERSION=7
echo "Windows 7 with a damaged installation: no help file beside the host's program, so the"
echo "user is told to remove the driver by hand:"
doctor 'y\n'

echo "... and with a help file beside a copy of the host's program, the shell opens that file:"
mkdir -p program && cp "$VANTEL" program/vantel && printf 'help' >program/DeleteUSBDriver.chm
echo "\$ printf 'y\\n' | program/vantel doctor"
printf 'y\n' | program/vantel doctor || true
