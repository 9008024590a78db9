"""The tree of a stick as Linux sees it, for the end-to-end checks of the drive cleaner.

state(stick) answers, for every path below the stick's root (relative, with "/"), its kind
("f" or "d"), its size, the SHA-256 of its content (files), its hidden and system bits as Wine
keeps them in the user.DOSATTRIB attribute, and whether it may be written (Wine shows a file
without write permission as read-only).
"""
import hashlib
import os
import stat


def state(stick):
    seen = {}
    for folder, dirs, files in os.walk(stick):
        for name in dirs + files:
            path = os.path.join(folder, name)
            info = os.lstat(path)
            digest, size = "-", 0
            if stat.S_ISREG(info.st_mode):
                with open(path, "rb") as f:
                    digest = hashlib.sha256(f.read()).hexdigest()
                size = info.st_size
            try:
                bits = int(os.getxattr(path, "user.DOSATTRIB").strip(b'\0"').decode(), 16) & 6
            except OSError:
                bits = 0
            seen[os.path.relpath(path, stick)] = {"kind": "d" if stat.S_ISDIR(info.st_mode) else "f", "size": size,
                                                  "digest": digest, "bits": bits,
                                                  "writable": bool(info.st_mode & stat.S_IWUSR)}
    return seen
