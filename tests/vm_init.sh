#!/bin/sh
# SPDX-FileCopyrightText: 2026 The Wendrel developers
# SPDX-License-Identifier: MIT
# The first program of the test machine, in its busybox initramfs: the host's
# root, read-only over 9p, becomes the machine's root under a writable layer
# in memory, and systemd starts on it as PID 1.
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
while read -r module; do
    insmod "/modules/$module" || echo "vm init: insmod $module failed"
done </modules/order
p9='trans=virtio,version=9p2000.L,msize=524288'
mkdir -p /host /layer /root
mount -t 9p -o "$p9,ro" host /host || exec sh
mount -t tmpfs -o size=1500m,mode=0755 layer /layer
mkdir -p /layer/upper /layer/work
mount -t overlay -o lowerdir=/host,upperdir=/layer/upper,workdir=/layer/work root /root || exec sh

# The host is a container image: as found, systemd would run in container
# mode and dpkg would start no service.
rm -f /root/.dockerenv /root/usr/sbin/policy-rc.d
# The kernel's modules, for udev to load the USB serial driver; the test's
# own files, outside /tmp, which Debian's tmpfiles rule empties at boot.
mkdir -p /root/lib/modules /root/wendrel-vm
mount -t 9p -o "$p9,ro" modules /root/lib/modules
mount -t 9p -o "$p9" work /root/wendrel-vm
# man-db's trigger would take a minute at each install.
rm -f /root/var/lib/man-db/auto-update
# Its own /tmp and /var/tmp: the host's stay as they are, and the boot's
# cleaning of them is quick.
mount -t tmpfs -o mode=1777 tmp /root/tmp
mount -t tmpfs -o mode=1777 vartmp /root/var/tmp
# The test's agent runs the host's commands. The services the host's image
# enables (databases, web servers) are not started, and what has no hardware
# or no purpose here is masked.
units=/root/etc/systemd/system
rm -f "$units"/multi-user.target.wants/*
cp /wendrel-vm-agent.service "$units/"
cp /wendrel-vm-agent.sh /root/etc/
mkdir -p "$units/multi-user.target.wants"
ln -sf ../wendrel-vm-agent.service "$units/multi-user.target.wants/"
for unit in $(cat /masked); do
    ln -sf /dev/null "$units/$unit"
done
echo wendrel-vm >/root/etc/hostname
: >/root/etc/machine-id

umount /proc /sys /dev
exec switch_root /root /lib/systemd/systemd
