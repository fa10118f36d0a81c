#!/usr/bin/env python3
"""Reads a Lighthouse JSON report: prints each category's score and every
audit that costs it points, and exits 1 unless every category scores 100.

    judge.py <report.json>
"""
import json
import sys


def failing_audits(report, category):
    for ref in category["auditRefs"]:
        audit = report["audits"][ref["id"]]
        if ref["weight"] > 0 and audit.get("score") is not None and audit["score"] < 1:
            yield audit


def describe(item):
    """One line for an item of an audit's details: where, and what."""
    parts = []
    for key, value in item.items():
        if isinstance(value, dict):
            value = value.get("snippet") or value.get("selector") or value.get("value") or value.get("url")
        if value not in (None, "", []):
            parts.append("%s=%s" % (key, value))
    return ", ".join(parts)


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    with open(sys.argv[1], encoding="utf-8") as handle:
        report = json.load(handle)
    if report.get("runtimeError"):
        print("Lighthouse could not audit the page: %s" % report["runtimeError"].get("message"))
        return 1
    ok = True
    for category in report["categories"].values():
        score = category["score"]
        shown = "no score" if score is None else "%d" % round(score * 100)
        print("%-16s %s" % (category["title"], shown))
        for audit in failing_audits(report, category):
            ok = False
            value = audit.get("displayValue")
            print("  FAILS %s: %s%s" % (audit["id"], audit["title"], " (%s)" % value if value else ""))
            details = audit.get("details") or {}
            for item in (details.get("items") or [])[:5]:
                print("        " + describe(item)[:200])
        if score is None or score < 1:
            ok = False
    print("every category scores 100" if ok else "NOT every category scores 100")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
