#!/usr/bin/env python3
"""Checks that an HTML report is well formed: every element that is opened is
closed in order (names compared without regard to case; void elements and
self-closed SVG elements excepted), no '<' is left in text, only the entities
the report uses appear, and the file is UTF-8.  Prints the first fault and
exits 1; exits 0 when the file is sound."""
import sys
from html.parser import HTMLParser

VOID = {"meta", "br", "hr", "img", "input", "link"}
ENTITIES = {"lt", "gt", "amp", "quot", "nbsp"}


class Checker(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=False)
        self.stack = []
        self.fault = None

    def fail(self, what):
        if self.fault is None:
            self.fault = "line %d: %s" % (self.getpos()[0], what)

    def handle_starttag(self, tag, attrs):
        if tag not in VOID:
            self.stack.append(tag)

    def handle_startendtag(self, tag, attrs):
        pass

    def handle_endtag(self, tag):
        if tag in VOID:
            return
        if not self.stack or self.stack[-1] != tag:
            self.fail("</%s> closes <%s>" % (tag, self.stack[-1] if self.stack else "nothing"))
            return
        self.stack.pop()

    def handle_data(self, data):
        if "<" in data or ">" in data:
            self.fail("markup character in text: %r" % data[:40])

    def handle_entityref(self, name):
        if name not in ENTITIES:
            self.fail("unknown entity &%s;" % name)


def main():
    raw = open(sys.argv[1], "rb").read()
    try:
        text = raw.decode("utf-8")
    except UnicodeDecodeError as e:
        print("not UTF-8: %s" % e)
        return 1
    checker = Checker()
    checker.feed(text)
    checker.close()
    if checker.fault is None and checker.stack:
        checker.fault = "unclosed: %s" % " ".join(checker.stack)
    if checker.fault:
        print(checker.fault)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
