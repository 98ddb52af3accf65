#!/usr/bin/python3
"""Makes the shell benchmarks' tree of small files: COUNT files of 1 to 16 KiB below ROOT, 50 per
folder, the same bytes on every run.  Usage: small_tree.py ROOT COUNT"""
import os
import random
import sys

root, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(42)
folders = max(1, count // 50)
for i in range(count):
    folder = os.path.join(root, "d%02d" % (i % folders // 20), "s%03d" % (i % folders))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "f%06d.dat" % i), "wb") as f:
        f.write(rng.randbytes(rng.randint(1024, 16384)))
