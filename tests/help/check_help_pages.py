#!/usr/bin/env python3
"""check_help_pages.py PAGES_FOLDER [PROGRAM_FOLDER]: every link of the help pages leads to a
page and a section that exist (Support opens main.htm#getting-help); with PROGRAM_FOLDER, the
pages and the read-me also lie beside the program, as the build puts them."""
import os, re, sys

PAGES = ["main.htm", "account_details_dialog.htm", "account_manager_dialog.htm",
         "tarnwick_error_dialog.htm"]
folder, program = sys.argv[1], (sys.argv[2:] or [None])[0]
texts = {name: open(os.path.join(folder, name), encoding="cp1252").read() for name in PAGES}
ids = {name: set(re.findall(r'\bid="([^"]+)"', text)) for name, text in texts.items()}
links = [(name, link) for name, text in texts.items() for link in re.findall(r'href="([^"]+)"', text)]
faults = []
for name, link in links + [("main.htm", "#getting-help")]:
    page, _, anchor = link.partition("#")
    page = page or name
    if page not in ids or (anchor and anchor not in ids[page]):
        faults.append("%s: broken link %s" % (name, link))
for name in PAGES + ["Readme.txt"] if program else []:
    if not os.path.isfile(os.path.join(program, name)):
        faults.append("%s is not beside the program in %s" % (name, program))
print("\n".join(faults) or "help pages complete")
sys.exit(1 if faults else 0)
