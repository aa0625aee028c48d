#!/usr/bin/env python3
"""Placeholder: copies the type library unchanged (the reserved-slot patch comes next)."""
import shutil, sys
args = [a for a in sys.argv[1:] if not a.startswith('--')]
args = args[1:] if len(args) == 3 else args
shutil.copyfile(args[0], args[1])
