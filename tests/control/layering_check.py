#!/usr/bin/env python3
"""Checks the ranks of the folders under src/: a folder includes only itself and
folders of a lower rank, and the layers under the windows include no widget
header. Usage: layering_check.py SRC_DIR"""
import os
import re
import sys

# Lower folders first; folders of one rank do not include each other.
RANKS = {
    "numeric": 0, "platform": 0, "netaccess": 0, "discovery": 0,
    "portlib": 1,
    "board": 2,
    "link": 3,
    "registers": 4,
    "control": 5,
    "startup": 6, "scpi": 6, "widgets": 6,
    "about": 7, "sweep": 7, "monitor": 7, "modulation": 7, "hoplist": 7, "vxi11": 7,
    "mainwindow": 8,
    "app": 9,
}
BELOW_WINDOWS = {"numeric", "portlib", "board", "link", "registers", "control"}
WIDGETS = re.compile(r'#include\s*<(QWidget|QtWidgets|QMessageBox|QDialog|QApplication|QLineEdit)\b')
INCLUDE = re.compile(r'#include\s*"([a-z]+)/')


def main(src):
    faults = []
    folders = sorted(d for d in os.listdir(src) if os.path.isdir(os.path.join(src, d)))
    for folder in folders:
        if folder not in RANKS:
            faults.append(f"{folder}/: a folder with no rank")
            continue
        for root, _, files in os.walk(os.path.join(src, folder)):
            for name in files:
                if not name.endswith((".h", ".cpp")):
                    continue
                path = os.path.join(root, name)
                rel = os.path.relpath(path, src)
                with open(path, encoding="utf-8") as f:
                    for n, line in enumerate(f, 1):
                        m = INCLUDE.match(line.strip())
                        if m and m.group(1) in RANKS and m.group(1) != folder:
                            if RANKS[m.group(1)] >= RANKS[folder]:
                                faults.append(f"{rel}:{n}: {folder} (rank {RANKS[folder]}) includes "
                                              f"{m.group(1)} (rank {RANKS[m.group(1)]})")
                        if folder in BELOW_WINDOWS and WIDGETS.match(line.strip()):
                            faults.append(f"{rel}:{n}: a widget header under the windows")
    for f in faults:
        print(f)
    print(f"{len(faults)} layering faults in {len(folders)} folders")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
