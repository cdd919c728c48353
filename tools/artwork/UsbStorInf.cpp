// SPDX-License-Identifier: GPL-3.0-or-later
#include "UsbStorInf.h"

#include <QString>

#include <stdexcept>
#include <string>

namespace artwork {

namespace {

// The text of usbstor.inf, UTF-8 with LF line ends here; buildUsbStorInf()
// turns it into UTF-16LE with CRLF and pads it to its fixed size.
const char *const kInfText = R"INF(; USBSTOR.INF
;
; Installation information for the USB mass-storage class driver (usbstor.sys).
;
; The file binds the class driver to USB interfaces of class 08h (mass
; storage) and creates the USBSTOR kernel service that loads it. Disks, card
; readers, floppy drives, tape units and optical drives attached over USB all
; arrive here first; the class driver reports the logical units it finds, and
; the disk, floppy, tape and CD-ROM class drivers take over from there.
;
; Ostrane restores this file, together with its precompiled companion
; usbstor.pnf, into %windir%\inf when USB storage is switched back on.
; Without the two files a newly attached drive finds no driver to install.
;
; Hardware ids are built from the interface descriptor of the device:
;
;     USB\Class_08&SubClass_ss&Prot_pp
;
; where ss is the command set the device understands and pp the transport
; that carries those commands:
;
;     SubClass 01  Reduced Block Commands (flash devices)
;     SubClass 02  MMC-2 packet commands (CD and DVD drives)
;     SubClass 03  QIC-157 (tape units)
;     SubClass 04  UFI (USB floppy drives)
;     SubClass 05  SFF-8070i (removable media drives)
;     SubClass 06  transparent SCSI (nearly every disk and flash drive)
;
;     Prot 00      control/bulk/interrupt, with command completion interrupt
;     Prot 01      control/bulk/interrupt, without command completion interrupt
;     Prot 50      bulk-only transport
;
; Each transport has its own install section; the command set only changes
; the description shown in Device Manager.

[Version]
Signature   = "$WINDOWS NT$"
Class       = USB
ClassGUID   = {36FC9E60-C465-11CF-8056-444553540000}
Provider    = %Provider%
DriverVer   = 06/01/2009,0.6.0.0

[SourceDisksNames]
1 = %DiskName%,,,

[SourceDisksFiles]
usbstor.sys = 1

[DestinationDirs]
DefaultDestDir    = 12      ; %windir%\system32\drivers
USBSTOR.CopyFiles = 12

[ControlFlags]
; Every device below is matched by its class code, so none of them is offered
; when a driver is picked by hand from the list.
ExcludeFromSelect = *

;------------------------------------------------------------------------------
; Models
;------------------------------------------------------------------------------

[Manufacturer]
%GenericMfg% = Generic, NTx86

; Undecorated list, for systems that predate decorated model sections; the
; NTx86 list below is the same and is preferred where it is understood.
[Generic]
%Bulk.Scsi.DeviceDesc%    = USBSTOR_BULK, USB\Class_08&SubClass_06&Prot_50
%Bulk.Sff.DeviceDesc%     = USBSTOR_BULK, USB\Class_08&SubClass_05&Prot_50
%Bulk.Ufi.DeviceDesc%     = USBSTOR_BULK, USB\Class_08&SubClass_04&Prot_50
%Bulk.Qic.DeviceDesc%     = USBSTOR_BULK, USB\Class_08&SubClass_03&Prot_50
%Bulk.Mmc.DeviceDesc%     = USBSTOR_BULK, USB\Class_08&SubClass_02&Prot_50
%Bulk.Rbc.DeviceDesc%     = USBSTOR_BULK, USB\Class_08&SubClass_01&Prot_50
%Cbi.Scsi.DeviceDesc%     = USBSTOR_CBI,  USB\Class_08&SubClass_06&Prot_00
%Cbi.Sff.DeviceDesc%      = USBSTOR_CBI,  USB\Class_08&SubClass_05&Prot_00
%Cbi.Ufi.DeviceDesc%      = USBSTOR_CBI,  USB\Class_08&SubClass_04&Prot_00
%Cbi.Mmc.DeviceDesc%      = USBSTOR_CBI,  USB\Class_08&SubClass_02&Prot_00
%Cb.Scsi.DeviceDesc%      = USBSTOR_CB,   USB\Class_08&SubClass_06&Prot_01
%Cb.Sff.DeviceDesc%       = USBSTOR_CB,   USB\Class_08&SubClass_05&Prot_01
%Cb.Ufi.DeviceDesc%       = USBSTOR_CB,   USB\Class_08&SubClass_04&Prot_01
%Cb.Mmc.DeviceDesc%       = USBSTOR_CB,   USB\Class_08&SubClass_02&Prot_01
%Generic.DeviceDesc%      = USBSTOR_BULK, USB\Class_08

[Generic.NTx86]
%Bulk.Scsi.DeviceDesc%    = USBSTOR_BULK, USB\Class_08&SubClass_06&Prot_50
%Bulk.Sff.DeviceDesc%     = USBSTOR_BULK, USB\Class_08&SubClass_05&Prot_50
%Bulk.Ufi.DeviceDesc%     = USBSTOR_BULK, USB\Class_08&SubClass_04&Prot_50
%Bulk.Qic.DeviceDesc%     = USBSTOR_BULK, USB\Class_08&SubClass_03&Prot_50
%Bulk.Mmc.DeviceDesc%     = USBSTOR_BULK, USB\Class_08&SubClass_02&Prot_50
%Bulk.Rbc.DeviceDesc%     = USBSTOR_BULK, USB\Class_08&SubClass_01&Prot_50
%Cbi.Scsi.DeviceDesc%     = USBSTOR_CBI,  USB\Class_08&SubClass_06&Prot_00
%Cbi.Sff.DeviceDesc%      = USBSTOR_CBI,  USB\Class_08&SubClass_05&Prot_00
%Cbi.Ufi.DeviceDesc%      = USBSTOR_CBI,  USB\Class_08&SubClass_04&Prot_00
%Cbi.Mmc.DeviceDesc%      = USBSTOR_CBI,  USB\Class_08&SubClass_02&Prot_00
%Cb.Scsi.DeviceDesc%      = USBSTOR_CB,   USB\Class_08&SubClass_06&Prot_01
%Cb.Sff.DeviceDesc%       = USBSTOR_CB,   USB\Class_08&SubClass_05&Prot_01
%Cb.Ufi.DeviceDesc%       = USBSTOR_CB,   USB\Class_08&SubClass_04&Prot_01
%Cb.Mmc.DeviceDesc%       = USBSTOR_CB,   USB\Class_08&SubClass_02&Prot_01
%Generic.DeviceDesc%      = USBSTOR_BULK, USB\Class_08

;------------------------------------------------------------------------------
; Bulk-only transport
;------------------------------------------------------------------------------

[USBSTOR_BULK]
CopyFiles = USBSTOR.CopyFiles
AddReg    = USBSTOR.Policy.AddReg

[USBSTOR_BULK.NT]
CopyFiles = USBSTOR.CopyFiles
AddReg    = USBSTOR.Policy.AddReg

[USBSTOR_BULK.NT.HW]
AddReg    = USBSTOR.Bulk.HW.AddReg, USBSTOR.Common.HW.AddReg

[USBSTOR_BULK.NT.Services]
AddService = USBSTOR, 0x00000002, USBSTOR.ServiceInstall, USBSTOR.EventLog

[USBSTOR.Bulk.HW.AddReg]
; 0x50: commands travel in command block wrappers on the bulk-out pipe.
HKR,,"TransportProtocol",0x00010001,0x50
; A device that stalls its pipes gets a bulk-only mass storage reset first.
HKR,,"ResetRecovery",0x00010001,1
; Some bridges report one logical unit more than they have; ask, then trust.
HKR,,"QueryMaxLun",0x00010001,1

;------------------------------------------------------------------------------
; Control/bulk/interrupt transport, with command completion interrupt
;------------------------------------------------------------------------------

[USBSTOR_CBI]
CopyFiles = USBSTOR.CopyFiles
AddReg    = USBSTOR.Policy.AddReg

[USBSTOR_CBI.NT]
CopyFiles = USBSTOR.CopyFiles
AddReg    = USBSTOR.Policy.AddReg

[USBSTOR_CBI.NT.HW]
AddReg    = USBSTOR.Cbi.HW.AddReg, USBSTOR.Common.HW.AddReg

[USBSTOR_CBI.NT.Services]
AddService = USBSTOR, 0x00000002, USBSTOR.ServiceInstall, USBSTOR.EventLog

[USBSTOR.Cbi.HW.AddReg]
; 0x00: commands on the control pipe, data on the bulk pipes, status on the
; interrupt pipe.
HKR,,"TransportProtocol",0x00010001,0x00
HKR,,"UseInterruptPipe",0x00010001,1
HKR,,"ResetRecovery",0x00010001,1

;------------------------------------------------------------------------------
; Control/bulk transport, without command completion interrupt
;------------------------------------------------------------------------------

[USBSTOR_CB]
CopyFiles = USBSTOR.CopyFiles
AddReg    = USBSTOR.Policy.AddReg

[USBSTOR_CB.NT]
CopyFiles = USBSTOR.CopyFiles
AddReg    = USBSTOR.Policy.AddReg

[USBSTOR_CB.NT.HW]
AddReg    = USBSTOR.Cb.HW.AddReg, USBSTOR.Common.HW.AddReg

[USBSTOR_CB.NT.Services]
AddService = USBSTOR, 0x00000002, USBSTOR.ServiceInstall, USBSTOR.EventLog

[USBSTOR.Cb.HW.AddReg]
; 0x01: as 0x00, but completion is learnt by polling with REQUEST SENSE.
HKR,,"TransportProtocol",0x00010001,0x01
HKR,,"UseInterruptPipe",0x00010001,0
HKR,,"ResetRecovery",0x00010001,1

;------------------------------------------------------------------------------
; Shared by all transports
;------------------------------------------------------------------------------

[USBSTOR.CopyFiles]
usbstor.sys,,,0x00000100

[USBSTOR.Common.HW.AddReg]
; Seconds a command may take before the transport is reset.
HKR,,"CommandTimeout",0x00010001,20
; Seconds of inactivity before an idle device is allowed to suspend.
HKR,,"IdleSuspendDelay",0x00010001,30
; Removable media is polled for change at this interval, in milliseconds.
HKR,,"MediaPollInterval",0x00010001,2000

[USBSTOR.Policy.AddReg]
; The machine-wide write protection of removable storage. It is created here,
; switched off, and never overwritten once an administrator has set it.
HKLM,"SYSTEM\CurrentControlSet\Control\StorageDevicePolicies","WriteProtect",0x00010003,0

[USBSTOR.ServiceInstall]
DisplayName    = %USBSTOR.SvcDesc%
ServiceType    = 1                  ; SERVICE_KERNEL_DRIVER
StartType      = 3                  ; SERVICE_DEMAND_START
ErrorControl   = 1                  ; SERVICE_ERROR_NORMAL
ServiceBinary  = %12%\usbstor.sys
LoadOrderGroup = Base
AddReg         = USBSTOR.Service.AddReg

[USBSTOR.Service.AddReg]
; Largest single transfer, in bytes, handed to the USB stack.
HKR,"Parameters","MaximumTransferLength",0x00010001,0x00010000
; Number of retries for a command that fails with a transport error.
HKR,"Parameters","TransportRetries",0x00010001,3

[USBSTOR.EventLog]
AddReg = USBSTOR.EventLog.AddReg

[USBSTOR.EventLog.AddReg]
HKR,,EventMessageFile,0x00020000,"%%SystemRoot%%\System32\IoLogMsg.dll;%%SystemRoot%%\System32\drivers\usbstor.sys"
HKR,,TypesSupported,0x00010001,7

;------------------------------------------------------------------------------
; Removal
;------------------------------------------------------------------------------

; Not referenced by any model: run by hand to take the driver out completely,
; for example "rundll32 setupapi.dll,InstallHinfSection USBSTOR.Remove 132 usbstor.inf".
[USBSTOR.Remove]
DelFiles = USBSTOR.CopyFiles
DelReg   = USBSTOR.Remove.DelReg

[USBSTOR.Remove.Services]
DelService = USBSTOR, 0x00000004

[USBSTOR.Remove.DelReg]
HKLM,"SYSTEM\CurrentControlSet\Services\USBSTOR\Parameters"

;------------------------------------------------------------------------------
; Strings
;------------------------------------------------------------------------------

[Strings]
Provider               = "Ostrane"
GenericMfg             = "Compatible USB storage device"
DiskName               = "USB Mass Storage Driver Disk"
USBSTOR.SvcDesc        = "USB Mass Storage Driver"
Generic.DeviceDesc     = "USB Mass Storage Device"
Bulk.Scsi.DeviceDesc   = "USB Mass Storage Device"
Bulk.Sff.DeviceDesc    = "USB Removable Media Drive (SFF-8070i)"
Bulk.Ufi.DeviceDesc    = "USB Floppy Disk Drive"
Bulk.Qic.DeviceDesc    = "USB Tape Drive (QIC-157)"
Bulk.Mmc.DeviceDesc    = "USB CD/DVD Drive"
Bulk.Rbc.DeviceDesc    = "USB Flash Storage Device (RBC)"
Cbi.Scsi.DeviceDesc    = "USB Mass Storage Device (CBI)"
Cbi.Sff.DeviceDesc     = "USB Removable Media Drive (SFF-8070i, CBI)"
Cbi.Ufi.DeviceDesc     = "USB Floppy Disk Drive (CBI)"
Cbi.Mmc.DeviceDesc     = "USB CD/DVD Drive (CBI)"
Cb.Scsi.DeviceDesc     = "USB Mass Storage Device (CB)"
Cb.Sff.DeviceDesc      = "USB Removable Media Drive (SFF-8070i, CB)"
Cb.Ufi.DeviceDesc      = "USB Floppy Disk Drive (CB)"
Cb.Mmc.DeviceDesc      = "USB CD/DVD Drive (CB)"

[Strings.0804]
Provider               = "Ostrane"
GenericMfg             = "兼容 USB 存储设备"
DiskName               = "USB 大容量存储驱动程序磁盘"
USBSTOR.SvcDesc        = "USB 大容量存储驱动程序"
Generic.DeviceDesc     = "USB 大容量存储设备"
Bulk.Scsi.DeviceDesc   = "USB 大容量存储设备"
Bulk.Sff.DeviceDesc    = "USB 可移动介质驱动器 (SFF-8070i)"
Bulk.Ufi.DeviceDesc    = "USB 软盘驱动器"
Bulk.Qic.DeviceDesc    = "USB 磁带机 (QIC-157)"
Bulk.Mmc.DeviceDesc    = "USB CD/DVD 驱动器"
Bulk.Rbc.DeviceDesc    = "USB 闪存存储设备 (RBC)"
Cbi.Scsi.DeviceDesc    = "USB 大容量存储设备 (CBI)"
Cbi.Sff.DeviceDesc     = "USB 可移动介质驱动器 (SFF-8070i, CBI)"
Cbi.Ufi.DeviceDesc     = "USB 软盘驱动器 (CBI)"
Cbi.Mmc.DeviceDesc     = "USB CD/DVD 驱动器 (CBI)"
Cb.Scsi.DeviceDesc     = "USB 大容量存储设备 (CB)"
Cb.Sff.DeviceDesc      = "USB 可移动介质驱动器 (SFF-8070i, CB)"
Cb.Ufi.DeviceDesc      = "USB 软盘驱动器 (CB)"
Cb.Mmc.DeviceDesc      = "USB CD/DVD 驱动器 (CB)"

;------------------------------------------------------------------------------
; Notes on the hardware key values
;------------------------------------------------------------------------------
;
; TransportProtocol   0x50 bulk-only, 0x00 CBI with interrupt, 0x01 CB.
;                     Written by the install section that matched; a value
;                     set by hand under the device's hardware key wins over
;                     the descriptor, which helps with bridges that
;                     advertise the wrong protocol.
; UseInterruptPipe    1 to wait for the command completion interrupt.
; ResetRecovery       1 to reset the interface and clear both bulk pipes
;                     after a stall or a phase error.
; QueryMaxLun         1 to ask a bulk-only device for its highest logical
;                     unit number; 0 to assume a single unit.
; CommandTimeout      seconds; raised by the class drivers for slow media
;                     such as tape and optical drives while they load.
; IdleSuspendDelay    seconds; 0 keeps the device awake.
; MediaPollInterval   milliseconds; 0 turns media change polling off.
;
; The service parameters apply to every device the driver serves:
;
; MaximumTransferLength  bytes per transfer; requests are split above it.
; TransportRetries       retries after a transport error before the request
;                        fails back to the class driver.
;
; Write protection of removable storage is a machine-wide policy:
; HKLM\SYSTEM\CurrentControlSet\Control\StorageDevicePolicies, WriteProtect,
; a DWORD that is 1 to refuse writes to every removable drive and 0 to allow
; them. Ostrane sets it to 1 and disables the USBSTOR service (Start = 4)
; when USB storage is switched off, and sets it back to 0 with Start = 3 when
; storage is switched on again.
;
; The lines below are reserved space that keeps the file at its fixed size.
;
)INF";

// One padding comment line, without its line end: a ';' and then dashes.
std::u16string padLine(std::size_t length)
{
    std::u16string line(length, u'-');
    line[0] = u';';
    return line;
}

} // namespace

Bytes buildUsbStorInf()
{
    const QString source = QString::fromUtf8(kInfText);
    std::u16string text;
    for (QChar c : source) {
        if (c == QLatin1Char('\n'))
            text += u"\r\n";
        else
            text += char16_t(c.unicode());
    }

    // Two bytes of byte-order mark, then two bytes per code unit.
    if (kUsbStorInfSize % 2 != 0 || 2 + 2 * text.size() + 3 * 2 > kUsbStorInfSize)
        throw std::runtime_error("usbstor.inf text does not fit its fixed size");
    std::size_t remaining = (kUsbStorInfSize - 2) / 2 - text.size(); // code units
    const std::size_t fullLine = 78;
    while (remaining > 0) {
        // Each line costs its length plus CR LF and is at least ";" long;
        // never leave a remainder too short for one more line.
        std::size_t length = std::min(fullLine, remaining - 2);
        if (remaining - (length + 2) > 0 && remaining - (length + 2) < 3)
            length -= 3 - (remaining - (length + 2));
        text += padLine(length);
        text += u"\r\n";
        remaining -= length + 2;
    }

    Bytes out;
    putU16(out, 0xFEFF);
    for (char16_t u : text)
        putU16(out, std::uint16_t(u));
    if (out.size() != kUsbStorInfSize)
        throw std::runtime_error("usbstor.inf came out at the wrong size");
    return out;
}

} // namespace artwork
