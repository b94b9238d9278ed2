import os
import sys

import pytest

sys.path.insert(0, os.path.join(os.path.dirname(__file__), ".."))

import dravix  # noqa: E402

EMULATED_CAMERAS = int(os.environ.get("DRAVIX_CAMEMU", "0"))


@pytest.fixture
def camera():
    if EMULATED_CAMERAS < 1:
        pytest.fail("the tests need emulated cameras: run them with DRAVIX_CAMEMU=2")
    with dravix.Camera(0) as cam:
        yield cam


def wait_until(predicate, timeout=5.0):
    """True once predicate() holds, polling; False after `timeout` seconds."""
    import time

    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if predicate():
            return True
        time.sleep(0.01)
    return predicate()
