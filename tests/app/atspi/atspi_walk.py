# Started by check-atspi inside its own session bus: starts the program, finds its window in the
# AT-SPI tree, checks what Orca would read at start, walks to the last page with "Dalej >>" through
# its action (each page change waited for by its announcement), checks that the closed port list
# shows nothing of its entries on pages 5 to 7, then opens the Cancel confirmation and checks that
# it shows no unnamed picture. Prints the port list's and the confirmation's trees.
import subprocess
import sys

import pyatspi
from gi.repository import GLib

HEADING = "1. Sprawdzenie zgodności sprzętu."
CAPTION = "Uaktualnienie oprogramowania TOLVAR  do wersji 1.6.0"
failures = []
state = {"step": "find", "ticks": 0, "heard": [], "app": None, "window": None, "page": 1}


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


def dump(title, root):
    print(f"check-atspi: {title}")
    for obj, depth in tree(root, 0):
        flag = " showing" if showing(obj) else ""
        print(f"  {'  ' * depth}{obj.getRoleName()} {obj.name!r}{flag}")


def tree(obj, depth):
    yield obj, depth
    for i in range(obj.childCount):
        child = obj.getChildAtIndex(i)
        if child is not None:
            yield from tree(child, depth + 1)


def heard(event):
    source = event.source
    if event.detail1 == 1 and source is not None and source.getRole() == pyatspi.ROLE_NOTIFICATION:
        state["heard"].append(source.name)


def press(name):
    button = find(state["window"], pyatspi.ROLE_PUSH_BUTTON, name)
    if button is None:
        raise RuntimeError(f"no showing '{name}' button")
    action = button.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    action.doAction(names.index("Press") if "Press" in names else 0)


def combo_action():
    combo = next(o for o in walk(state["window"]) if o.getRole() == pyatspi.ROLE_COMBO_BOX)
    action = combo.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    # Qt's drop-down opens and closes its list on the same action.
    action.doAction(names.index("Press") if "Press" in names else 0)


def tick():
    try:
        return step()
    except Exception as e:  # a broken reply ends the check, never hangs it
        failures.append(f"step {state['step']}: {e!r}")
        pyatspi.Registry.stop()
        return False


def step():
    state["ticks"] += 1
    if state["ticks"] > 400:
        failures.append(f"timed out at step {state['step']} on page {state['page']}")
        pyatspi.Registry.stop()
        return False
    if state["step"] == "find":
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "tolvar-update" and app.childCount > 0:
                state["app"] = app
        if state["app"] is None:
            if program.poll() is not None:
                failures.append(f"the program ended (status {program.returncode}) before its"
                                " window reached the AT-SPI bus")
                pyatspi.Registry.stop()
                return False
            return True
        window = state["window"] = state["app"].getChildAtIndex(0)
        check("window role", window.getRole(), pyatspi.ROLE_DIALOG)
        check("window name", window.name, CAPTION)
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
        check("announcements at start", state["heard"], [])
        press("Dalej >>")
        state["step"] = "walk"
        return True
    if state["step"] == "walk":
        # Each page change is announced once; the page has come when its announcement has.
        if len(state["heard"]) < state["page"]:
            return True
        state["page"] += 1
        page, window = state["page"], state["window"]
        if page == 2:
            check("announcement starts with the heading", state["heard"][0].split("\n")[0],
                  HEADING)
        if page >= 5:
            # The closed port list: on its page it shows, on the pages after it it does not, and
            # nothing of its entries shows on any of them.
            combo = next((o for o in walk(window) if o.getRole() == pyatspi.ROLE_COMBO_BOX), None)
            if combo is None:
                failures.append(f"page {page}: no port list in the tree")
            else:
                if page == 5:
                    dump("the port list on page 5, closed", combo)
                check(f"page {page}: port list showing", showing(combo), page == 5)
                entries = [f"{o.getRoleName()} {o.name!r}" for o in walk(combo)
                           if o is not combo and showing(o)]
                check(f"page {page}: showing parts of the closed port list", entries, [])
        lines = [o for o in walk(window) if o.getRole() == pyatspi.ROLE_LIST_ITEM]
        if page == 5 and lines:  # (a machine without serial ports has none)
            # Dropped, its lines show; closed again, they do not.
            combo_action()
            state["step"] = "dropped"
            return True
        if page < 7:
            press("Dalej >>")
        else:
            press("Przerwij")
            state["step"] = "confirm"
        return True
    if state["step"] in ("dropped", "closed"):
        combo = next(o for o in walk(state["window"]) if o.getRole() == pyatspi.ROLE_COMBO_BOX)
        entries = [o.name for o in walk(combo) if o.getRole() == pyatspi.ROLE_LIST_ITEM
                   and showing(o)]
        if state["step"] == "dropped":
            if not entries:
                return True
            check("showing lines of the dropped port list", entries[0].startswith("/dev/"), True)
            combo_action()
            state["step"] = "closed"
            return True
        if entries:
            return True
        state["step"] = "walk"
        press("Dalej >>")
        return True
    if state["step"] == "confirm":
        box = None
        for i in range(state["app"].childCount):
            top = state["app"].getChildAtIndex(i)
            if top is not None and top.name == "Confirm" and showing(top):
                box = top
        if box is None:
            return True
        dump("the Cancel confirmation", box)
        pictures = [o.name for o in walk(box)
                    if o.getRole() in (pyatspi.ROLE_IMAGE, pyatspi.ROLE_ICON) and showing(o)]
        # Named by what it means, or not in the tree at all; never an unnamed picture.
        check("pictures of the confirmation", pictures if pictures else ["Pytanie"], ["Pytanie"])
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
    print("check-atspi: window, pages, link, picture, focused default button, announcements, the"
          " closed port list and the Cancel confirmation read through AT-SPI")
sys.exit(1 if failures else 0)
