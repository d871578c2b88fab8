# Started by check-atspi inside its own session bus: starts the program, finds its window in the
# AT-SPI tree, checks what Orca would read at start, presses "Dalej >>" through its action and
# waits for the next page's announcement.
import subprocess
import sys

import pyatspi
from gi.repository import GLib

HEADING = "1. Sprawdzenie zgodności sprzętu."
failures = []
state = {"step": "find", "ticks": 0, "heard": None, "app": None}


def check(what, got, want):
    if got != want:
        failures.append(f"{what}: got {got!r}, want {want!r}")


def walk(obj):
    yield obj
    for i in range(obj.childCount):
        child = obj.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


def showing(obj):
    return obj.getState().contains(pyatspi.STATE_SHOWING)


def find(root, role, name=None):
    for obj in walk(root):
        if obj.getRole() == role and (name is None or obj.name == name) and showing(obj):
            return obj
    return None


def heard(event):
    source = event.source
    if event.detail1 == 1 and source is not None and source.getRole() == pyatspi.ROLE_NOTIFICATION:
        state["heard"] = source.name


def tick():
    try:
        return step()
    except Exception as e:  # a broken reply ends the check, never hangs it
        failures.append(f"step {state['step']}: {e!r}")
        pyatspi.Registry.stop()
        return False


def step():
    state["ticks"] += 1
    if state["ticks"] > 300:
        failures.append(f"timed out at step {state['step']}")
        pyatspi.Registry.stop()
        return False
    if state["step"] == "find":
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "tolvar-update" and app.childCount > 0:
                state["app"] = app
        if state["app"] is None:
            return True
        window = state["app"].getChildAtIndex(0)
        check("window role", window.getRole(), pyatspi.ROLE_DIALOG)
        check("window name", window.name, "Uaktualnienie oprogramowania TOLVAR  do wersji 1.6.0")
        page = find(window, pyatspi.ROLE_PAGE_TAB)
        check("welcome page", page.name if page else None, "Witamy")
        link = find(window, pyatspi.ROLE_LINK)
        check("link", link.name if link else None, "https://www.zefra.example")
        logo = find(window, pyatspi.ROLE_IMAGE)
        check("logo", logo.name if logo else None, "Logo firmy ZEFRA")
        nxt = find(window, pyatspi.ROLE_PUSH_BUTTON, "Dalej >>")
        if nxt is None:
            failures.append("no showing 'Dalej >>' button")
            pyatspi.Registry.stop()
            return False
        st = nxt.getState()
        check("'Dalej >>' focused", st.contains(pyatspi.STATE_FOCUSED), True)
        check("'Dalej >>' default", st.contains(pyatspi.STATE_IS_DEFAULT), True)
        # Nothing of the hidden pages shows.
        check("hidden heading", find(window, pyatspi.ROLE_HEADING, HEADING), None)
        action = nxt.queryAction()
        names = [action.getName(i) for i in range(action.nActions)]
        action.doAction(names.index("Press") if "Press" in names else 0)
        state["step"] = "announce"
        return True
    if state["step"] == "announce" and state["heard"] is not None:
        check("announcement starts with the heading", state["heard"].split("\n")[0], HEADING)
        pyatspi.Registry.stop()
        return False
    return True


log = open(sys.argv[2], "w+") if len(sys.argv) > 2 else subprocess.DEVNULL
program = subprocess.Popen([sys.argv[1]], stdout=log, stderr=log)
try:
    pyatspi.Registry.registerEventListener(heard, "object:state-changed:showing")
    GLib.timeout_add(200, tick)
    pyatspi.Registry.start()
finally:
    program.kill()
    program.wait()
for f in failures:
    print("check-atspi:", f)
if failures and log is not subprocess.DEVNULL:
    log.seek(0)
    print("check-atspi: the program said:", log.read())
if not failures:
    print("check-atspi: window, page, link, picture, focused default button and the announcement"
          " read through AT-SPI")
sys.exit(1 if failures else 0)
