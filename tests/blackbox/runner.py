"""The frame of a black-box run: arguments, a time limit, clean-up on every way out.

A run prints one PASS or FAIL line per check and ends with the summary; its exit status
is 0 when all passed, 1 when one failed, 77 when it could not run here (skipped).
"""

import os
import signal
import sys

from checks import Checks, report_abort
from xsession import SKIP, XSession, missing_tools


class TimeLimit(Exception):
    pass


class Skip(Exception):
    """The run cannot take place on this machine now; not a fault of the program."""


def run(argv, usage, body, time_limit=60, prepare=None):
    """Runs body(session, checks, prepared) on the program named in argv.

    prepare(), when given, takes what the run needs before the program starts (such as
    a port) and returns it with its close() method; it raises Skip when it cannot.
    """
    if len(argv) != 2:
        print(usage.strip(), file=sys.stderr)
        return 2
    program = argv[1]
    missing = missing_tools()
    if missing:
        print(f"SKIP: not installed: {', '.join(missing)}")
        return SKIP
    if not os.access(program, os.X_OK):
        print(f"FAIL: no program at {program}")
        return 1
    try:
        prepared = prepare() if prepare else None
    except Skip as reason:
        print(f"SKIP: {reason}")
        return SKIP
    checks = Checks()
    session = XSession(program)
    print(f"screenshots and logs: {session.shots_dir}", flush=True)

    def on_time_limit(signum, frame):
        raise TimeLimit(f"the whole run took longer than {time_limit} s")

    signal.signal(signal.SIGALRM, on_time_limit)
    # A test runner's stop still runs the clean-up below.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    signal.alarm(time_limit)
    try:
        body(session, checks, prepared)
    except Exception as error:  # every failure still ends in the summary and the clean-up
        report_abort(error, checks)
    finally:
        signal.alarm(0)
        session.close()
        if prepared is not None:
            prepared.close()
    if checks.failed:
        print("program output:\n" + session.program_output())
    return checks.summary()
