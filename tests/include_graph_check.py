#!/usr/bin/env python3
"""Checks the plug-in's includes against its libraries' order.

Every plug-in library is one folder, added by the top-level CMakeLists.txt in
an order where each depends only on those before it. This reads every include
of every plug-in file, finds the library folder of the file it names, and
fails when an include names a file of a library added later (an arrow running
back up, which would make the graph of folders cyclic), a file outside the
plug-in's folders, or a path instead of a name (the plug-in's include path is
the linked libraries' folders, never the repository root).

    include_graph_check.py REPOSITORY [--print]
"""
import os
import re
import sys

ADD = re.compile(r'^add_subdirectory\(([\w/]+)\)', re.M)
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"', re.M)
SOURCES = ('.h', '.cpp', '.cu')


def library_folders(root):
    """The plug-in's library folders in the top-level file's order, up to the plug-in's top."""
    text = open(os.path.join(root, 'CMakeLists.txt')).read()
    folders = []
    for folder in ADD.findall(text):
        folders.append(folder)
        if folder == 'entry':
            return folders
    sys.exit('include_graph_check: the top-level CMakeLists.txt adds no entry/ folder')


def owner(path, folders):
    """The deepest library folder holding `path` (relative to the root), or None."""
    best = None
    for folder in folders:
        if path.startswith(folder + '/') and (best is None or len(folder) > len(best)):
            best = folder
    return best


def main():
    root = os.path.abspath(sys.argv[1])
    folders = library_folders(root)
    rank = {folder: i for i, folder in enumerate(folders)}
    files = []
    for top in {f.split('/')[0] for f in folders}:
        for base, _, names in os.walk(os.path.join(root, top)):
            for name in names:
                if name.endswith(SOURCES):
                    files.append(os.path.relpath(os.path.join(base, name), root))
    by_name = {}
    for path in files:
        by_name.setdefault(os.path.basename(path), []).append(path)
    faults = []
    for name, paths in by_name.items():
        if len(paths) > 1 and name.endswith('.h'):
            faults.append(f'{name} is the name of {len(paths)} headers ({", ".join(sorted(paths))}); '
                          'the plug-in includes headers by name, so names must be unique')
    edges = {}
    for path in sorted(files):
        here = owner(path, folders)
        if here is None:
            continue
        text = open(os.path.join(root, path), encoding='utf-8').read()
        for included in INCLUDE.findall(text):
            if '/' in included:
                faults.append(f'{path} includes "{included}": name the header alone; '
                              'the include path holds the folders of the libraries linked')
                continue
            beside = os.path.join(os.path.dirname(path), included)
            if os.path.exists(os.path.join(root, beside)):
                target = beside
            elif included in by_name:
                target = by_name[included][0]
            else:
                continue  # a header of a library outside the repository
            there = owner(target, folders)
            if there is None:
                faults.append(f'{path} includes {target}, which is in no library folder')
            elif there != here:
                edges.setdefault(here, set()).add(there)
                if rank[there] > rank[here]:
                    faults.append(f'{path} ({here}/) includes {target} ({there}/), a library '
                                  f'added after {here}/: the include runs back up')
    if '--print' in sys.argv:
        for folder in folders:
            print(f'{folder}/ -> ' + ', '.join(f'{t}/' for t in sorted(edges.get(folder, ()), key=rank.get)))
    for fault in faults:
        print('include_graph_check: ' + fault)
    if faults:
        return 1
    print(f'include_graph_check: {len(files)} files in {len(folders)} library folders, '
          'every include runs down')
    return 0


if __name__ == '__main__':
    sys.exit(main())
