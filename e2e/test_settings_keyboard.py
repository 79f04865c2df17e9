"""The settings window with the keyboard alone, on the real binary: Tab and Shift+Tab go round
the two rows of tabs and every enabled control of the shown page, and the focus is always on a
control the user sees. The focused control is read from the accessibility bus after each key."""

import os

import accessibility
import xwindows
from harness import CAPTION, check, log, start_and_settle, wait_until
from registry import test

ROW = "page tab list"
# Enabled controls of the " Ad Types" page that Tab must reach, and one it must pass over.
AD_TYPES = [
    ("check box", "Block Internet Explorer Popup Ads"),
    ("check box", "Block Banner Ads and Many Popup Ads (using the list of known ad servers)"),
    ("label", "host list"),
    ("push button", "Security Rating"),
]
DISABLED = "Block ALL new Internet Explorer popup windows (maximum protection)"


def tab_messages_seen(sandbox):
    """Marks the settings pages' once-only messages as shown, so that turning the pages opens no
    message box over the window."""
    folder = os.path.join(sandbox.env["XDG_CONFIG_HOME"], "halvern")
    os.makedirs(folder, mode=0o700, exist_ok=True)
    keys = ["AdTypes", "Log", "AllowContent", "BlockContent", "HotKeys"]
    with open(os.path.join(folder, "Zorvik.ini"), "w") as handle:
        handle.write("[Messages]\n" + "".join(f"MSG{key}=0\n" for key in keys))


def focus_walk(sandbox, app, key, count):
    walk = accessibility.focus_after_keys(sandbox, app, CAPTION, key, count)
    check(walk is not None, "the settings window was not found on the accessibility bus"
          + app.log_tail())
    log(f"{key}: " + " | ".join(name.strip() or role for role, name in walk))
    for step in walk:
        check(step[0] not in ("none", "gone"), f"after a {key} no shown control had the focus: "
              f"{walk}")
    return walk


def one_round(walk, key):
    """The controls from the first focused one up to just before it comes back."""
    check(walk[0] in walk[1:], f"{key} never came back to {walk[0]}: {walk}")
    size = walk.index(walk[0], 1)
    round_ = walk[:size]
    check(len(set(round_)) == size, f"{key} visits a control twice in one round: {round_}")
    check(walk[size:2 * size] == round_[:len(walk[size:2 * size])],
          f"{key} does not repeat its round: {walk}")
    return round_


def rotated(round_, first):
    i = round_.index(first)
    return round_[i:] + round_[:i]


@test("settings_tab_goes_round")
def settings_tab_goes_round(sandbox):
    """From the freshly shown settings window, Tab visits both tab rows and every enabled
    control of the " Ad Types" page and comes back round, Shift+Tab the same in reverse; on
    " Other / Password" Tab leaves its last control, "Connect", for the rows."""
    sandbox.start_window_manager()
    sandbox.start_accessibility()
    tab_messages_seen(sandbox)
    app = start_and_settle(sandbox)
    window = app.wait_main_window()
    check(wait_until(lambda: accessibility.check_box(sandbox, app, CAPTION, AD_TYPES[0][1]),
                     15, 0.5),
          "the settings window's controls did not show on the accessibility bus"
          + accessibility.dump(sandbox, app, CAPTION)[:3000])
    # Block-all is offered only while browser popups are blocked: with that switched off it is
    # the page's disabled box, which Tab must pass over.
    check(accessibility.toggle(sandbox, app, CAPTION, AD_TYPES[0][1]),
          "could not switch browser popup blocking off")
    check(wait_until(lambda: accessibility.check_box(sandbox, app, CAPTION, DISABLED)
                     == (False, False), 10, 0.3),
          f"'{DISABLED}' was not disabled with browser popup blocking off")
    xwindows.press_key(window, "shift")  # gives the window the keyboard focus, types nothing

    forward = one_round(focus_walk(sandbox, app, "Tab", 20), "Tab")
    rows = [step for step in forward if step[0] == ROW]
    check([name for _, name in rows] == [" Ad Types", " Allow (whitelist)"],
          f"Tab does not visit both tab rows, each on its current tab: {rows}")
    for control in AD_TYPES:
        check(control in forward, f"Tab never reaches {control}: {forward}")
    check(not any(name == DISABLED for _, name in forward),
          f"Tab stops on the disabled '{DISABLED}'")

    backward = one_round(focus_walk(sandbox, app, "shift+Tab", len(forward) + 2), "Shift+Tab")
    check(backward == rotated(list(reversed(forward)), backward[0]),
          f"Shift+Tab is not Tab's round in reverse: {backward} against {forward}")

    # Four pages on, from the first row: " Other / Password", whose last control is "Connect".
    focus_walk(sandbox, app, "ctrl+Next", 4)
    other = one_round(focus_walk(sandbox, app, "Tab", 16), "Tab on Other / Password")
    connect = ("push button", "Connect")
    check(connect in other, f"Tab never reaches Connect: {other}")
    after = rotated(other, connect)
    check(after[1][0] == ROW, f"Tab from Connect goes to {after[1]}, not to the tab rows")
    check(app.alive(), "zorvik ended" + app.log_tail())
    return f"{len(forward)} stops on Ad Types, {len(other)} on Other / Password"
