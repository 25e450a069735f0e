#pragma once
// Named simulated machines, and the making of a system root from one.
//
// "demo"     A plausible Apple-silicon machine on 13.4.1 (console user "alex"):
//            disk0 internal "Apple Fabric" SSD with its ISC container disk1
//            (iSCPreboot, xART, Hardware; OS-internal), recovery container disk2
//            and system container disk3: "System HD" sealed, its snapshot
//            disk3s1s1 mounted at the root; Preboot at /System/Volumes/Preboot
//            (with Cryptexes), Recovery unmounted, VM at /System/Volumes/VM,
//            "System HD - Data" (OS-internal) at /System/Volumes/Data, Update;
//            34 GB in use, so a clone fits the USB stick.
//            disk4 USB stick (EFI + ExFAT "USB"), disk5 USB disk (EFI + Journaled
//            HFS+ "Photos"), both with files to copy; disk6 external SATA disk with
//            APFS container disk7 holding "Backup". A small system tree under the
//            root: Applications, Library, System, Users/alex with a few files.
//
// "filters"  The demo's internal disk plus one disk for every case the volume
//            lists filter on (13.4.1, Apple silicon):
//            disk4  USB "Flashline Ultra Media": EFI + ExFAT "USB" (listed)
//            disk5  USB without a registry name: EFI + HFS+ "NoName" (listed; "Unknown")
//            disk6  SATA, not ejectable: EFI + HFS+ "Archive" + Apple_Boot "Boot OS X"
//            disk7  PCI-Express, ejectable: EFI + Apple_APFS -> container disk8
//            disk8  "Thunder" plus its own mounted Preboot and Recovery (the
//                   container's booter and recovery volumes)
//            disk9  PCI-Express, internal, not ejectable: EFI + HFS+ "Scratch"
//            disk10, disk11  USB RAID members (Apple_RAID slices)
//            disk12 the RAID set "Mirror": RAIDMaster, no partition map, HFS+ mounted
//            disk13 USB, no partition map, Apple_HFS "Floppy" mounted
//            disk14 USB, no partition map, Apple_HFSX "CaseSens" mounted
//            disk15 USB, CoreStorageEncrypted: EFI + Apple_CoreStorage + Apple_Boot
//            disk16 the CoreStorage logical volume "Vault": Virtual, no partition map
//            disk17 an attached disk image: Virtual, "Disk Image", Apple_HFS "ImageVol"
//            and in disk3 a volume with no name and "Size" 0 (unmounted).
//            The "AllDisks"-only list output is the knob
//            "diskutil list" = "noAllDisksAndPartitions" ("noAllDisks" drops both).
//
// "legacy"   10.14.6 on Intel: disk0 internal SATA, container disk1 with
//            "System HD" mounted at the root itself (no snapshot), Preboot and
//            Recovery unmounted, VM mounted at /private/var/vm; disk2 USB with
//            Journaled HFS+ "OldUSB" and an Apple_Boot slice.
//
// "clone"    13.4.1 on Intel: disk0 internal PCI-Express with container disk1
//            (the demo's layout without ISC and recovery containers; 50 GB used)
//            and disk2, a 61.5 GB USB stick with ExFAT "CLONEME", ready to be
//            erased by a clone. Its Preboot holds Cryptexes (OS and App, three
//            files) for the repair that follows a clone.
//
// Every scenario's console user has the privacy-guarded folders Library/Safari
// (with a file), Library/Mail and .Trash in the machine's protected paths, with
// Full Disk Access granted.
#include <string>
#include <vector>

#include "sim/Machine.h"

namespace sim {

std::vector<std::string> scenarioNames();

// Fills an empty machine (root set) with the scenario's disks and files.
// false with *error for an unknown name.
bool buildScenario(const std::string& name, Machine& machine, std::string* error = nullptr);

// Makes root a fresh simulated machine: wipes it (only an empty folder or an
// earlier simulated machine is ever wiped), builds the scenario, writes the
// state, the user defaults and the console user's home, and installs the tools:
// <toolDir>/sim-<tool> as usr/sbin/diskutil, usr/sbin/asr, usr/bin/hdiutil,
// usr/bin/killall, usr/bin/tmutil (those that are built), and the host's zip, unzip, du, cp and
// chmod in usr/bin, with cp and chmod in bin too.
bool createRoot(const std::string& scenario, const std::string& root, const std::string& toolDir,
                std::string* error = nullptr);

}  // namespace sim
