#!/usr/bin/env python3
"""The help pages as a reader meets them: every page is there, every link leads to a page and
a section that exist (Help > Support Forums opens main.htm#getting-help), tags are balanced.

    check_help_pages.py PAGES_FOLDER [PROGRAM_FOLDER]
With PROGRAM_FOLDER, the pages must also lie there, as the build put them."""
import html.parser, os, sys

PAGES = ["main.htm", "account_details_dialog.htm", "account_manager_dialog.htm",
         "tarnwick_error_dialog.htm"]
VOID = {"meta", "br", "hr", "img", "link", "input"}


class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.ids, self.links, self.open, self.faults = set(), [], [], []

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if "id" in attrs:
            self.ids.add(attrs["id"])
        if tag == "a" and "href" in attrs:
            self.links.append(attrs["href"])
        if tag not in VOID:
            self.open.append(tag)

    def handle_endtag(self, tag):
        if not self.open or self.open.pop() != tag:
            self.faults.append("</%s> closes nothing open at line %d" % (tag, self.getpos()[0]))


def main(folder, program=None):
    faults, pages = [], {}
    for name in PAGES:
        page = Page()
        with open(os.path.join(folder, name), encoding="cp1252") as f:
            page.feed(f.read())
        faults += ["%s: %s" % (name, fault) for fault in page.faults]
        if page.open:
            faults.append("%s: never closed: %s" % (name, page.open))
        pages[name] = page
    if "getting-help" not in pages["main.htm"].ids:
        faults.append("main.htm: no section getting-help")
    for name, page in pages.items():
        for link in page.links:
            target, _, anchor = link.partition("#")
            target = target or name
            if target not in pages:
                faults.append("%s: link to %s, which is not a help page" % (name, link))
            elif anchor and anchor not in pages[target].ids:
                faults.append("%s: link to %s, which has no such section" % (name, link))
    for name in PAGES + ["Readme.txt"] if program else []:
        if not os.path.isfile(os.path.join(program, name)):
            faults.append("%s is not beside the program in %s" % (name, program))
    print("\n".join(faults) or "help pages complete")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
