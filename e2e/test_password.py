"""The settings password as the per-user store keeps it."""

import os
import stat

from harness import check, finish_first_start, log, read_ini, wait_until
from registry import test


@test("password_stored_as_hash")
def password_stored_as_hash(sandbox):
    """A password an older version stored as typed is replaced by a yescrypt hash at the start,
    and the store's folder and file become the user's alone."""
    folder = os.path.join(sandbox.env["XDG_CONFIG_HOME"], "halvern")
    os.makedirs(folder, exist_ok=True)
    os.chmod(folder, 0o755)
    store = os.path.join(folder, "KorvaneSoft.ini")
    with open(store, "w") as handle:
        handle.write("[Zorvik]\r\nBlockLevel=secret\r\n")
    os.chmod(store, 0o644)

    app = sandbox.launch()
    app.wait_main_window()
    finish_first_start(sandbox, app)

    def stored():
        return (read_ini(store) or {}).get("zorvik", {}).get("blocklevel", "")

    check(wait_until(lambda: stored().startswith("$y$"), 5),
          f"the password is still stored as {stored()!r}" + app.log_tail())
    check("secret" not in open(store, encoding="latin-1").read(),
          "the plain password is still in the store")
    log(f"stored {stored()[:12]}...")
    check(stat.S_IMODE(os.stat(store).st_mode) == 0o600,
          f"the store file is {oct(stat.S_IMODE(os.stat(store).st_mode))}, not 0600")
    check(stat.S_IMODE(os.stat(folder).st_mode) == 0o700,
          f"the store folder is {oct(stat.S_IMODE(os.stat(folder).st_mode))}, not 0700")
    check(app.alive(), "zorvik ended" + app.log_tail())
