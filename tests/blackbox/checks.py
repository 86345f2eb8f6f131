"""One PASS or FAIL line per check, and the verdict at the end."""

import sys


class Checks:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, ok, detail=""):
        verdict = "PASS" if ok else "FAIL"
        suffix = f" ({detail})" if detail else ""
        print(f"{verdict}: {name}{suffix}", flush=True)
        if ok:
            self.passed += 1
        else:
            self.failed += 1
        return ok

    def require(self, name, ok, detail=""):
        """A check the rest of the run depends on: stop here when it fails."""
        if not self.check(name, ok, detail):
            raise Abort(name)

    def summary(self):
        print(f"blackbox: {self.passed} passed, {self.failed} failed", flush=True)
        return 1 if self.failed else 0


class Abort(Exception):
    """A required check failed; what follows cannot be checked meaningfully."""


def report_abort(error, checks):
    if isinstance(error, Abort):
        print(f"stopped after a failed required check: {error}", file=sys.stderr)
    else:
        checks.check(f"run completed without error: {type(error).__name__}", False, str(error))
