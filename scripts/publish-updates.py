#!/usr/bin/env python3
"""Builds the files of a Zorvik update server from a block list.

    publish-updates.py --out DIR --list ADS [--popups POPUPS] [--spyware SPYWARE]
                       [--version X.Y.Z [--features FILE]] [--server URL] [--date M/D/YYYY]

Writes into DIR the files the program downloads from "<server>/zshared/":

  domains.txt     the ad servers, one per line; the popup servers with a leading "*"
  removals.txt    names dropped from domains.txt since an earlier run (and not back since)
  spyware.txt     "program.exe:description" lines (kept as they were without --spyware)
  version.txt     "Version:" + the newest version + " " + its features (only with --version)
  updatedate.txt  the date of the data, month/day/year; written last, and only when one of the
                  other files changed, so clients download only when there is something new

ADS and POPUPS are plain lists (one name per line) or hosts files ("0.0.0.0 name ..."); "#"
starts a comment. Names are lower-cased and de-duplicated, and must be host names as the
program writes them into /etc/hosts: labels of letters, digits, "-" and "_" joined by single
dots, at most 63 characters each and 253 in all. localhost and its kin, bare addresses and the
update server's own host are refused (a client that blocked its update server could never update
again). An empty list is refused and nothing is written. List files have CR LF line ends and a
last line "[END]"; every file is replaced atomically. Serve DIR as /zshared/ with any web server.
Standard library only.
"""

import argparse
import datetime
import os
import re
import sys
import tempfile
import urllib.parse

DEFAULT_SERVER = "https://updates.halvern.org"
END = "[END]"
CRLF = "\r\n"
MAX_NAME = 253
MAX_LABEL = 63
LABEL = re.compile(r"^[A-Za-z0-9_-]+$")
ADDRESS = re.compile(r"^[0-9.]+$")
# Names a hosts file uses for the machine itself or its networks, never an ad server.
LOCAL_NAMES = {
    "localhost", "localhost.localdomain", "local", "broadcasthost", "ip6-localhost",
    "ip6-loopback", "ip6-localnet", "ip6-mcastprefix", "ip6-allnodes", "ip6-allrouters",
    "ip6-allhosts",
}


class PublishError(Exception):
    """A refusal that leaves every file as it was."""


def is_host_name(name):
    """The rule the program applies before it writes a name into /etc/hosts."""
    if not name or len(name) > MAX_NAME:
        return False
    return all(0 < len(label) <= MAX_LABEL and LABEL.match(label) for label in name.split("."))


def is_address(token):
    return ":" in token or bool(ADDRESS.match(token))


def why_refused(name, update_host):
    """The reason a name cannot be published, or None."""
    if name in LOCAL_NAMES or name.endswith(".localhost"):
        return "a name of the local machine"
    if ADDRESS.match(name):
        return "an address, not a name"
    if not is_host_name(name):
        return "not a host name"
    if update_host and name == update_host:
        return "the update server itself"
    return None


def read_text(path):
    with open(path, "rb") as handle:
        # Latin-1 reads any bytes; a name with other letters is then refused as no host name.
        return handle.read().decode("latin-1")


def names_of(text):
    """The names of a plain or hosts-format list, in order, as written."""
    for line in text.splitlines():
        tokens = line.split("#", 1)[0].split()
        if not tokens:
            continue
        # A hosts line: an address, then the names it gives.
        yield from tokens[1:] if is_address(tokens[0]) and len(tokens) > 1 else tokens


def clean_names(text, update_host, refused):
    """Lower-cased valid names without repeats, in first-seen order; refusals go to refused."""
    seen = set()
    result = []
    for raw in names_of(text):
        name = raw.lower()
        reason = why_refused(name, update_host)
        if reason:
            refused.append((raw, reason))
            continue
        if name not in seen:
            seen.add(name)
            result.append(name)
    return result


def spyware_lines(text, refused):
    """"program:description" lines without repeated programs (case-insensitive)."""
    seen = set()
    result = []
    for line in text.splitlines():
        line = line.strip()
        if not line or line.startswith("#"):
            continue
        program, _, description = line.partition(":")
        program = program.strip()
        if not program or any(c in program for c in "=[]") or line == END:
            refused.append((line, "not a program:description line"))
            continue
        if program.lower() in seen:
            continue
        seen.add(program.lower())
        result.append(program + ":" + description.strip())
    return result


def framed(lines):
    """A list file: CR LF lines, "[END]" last with no line break after it."""
    return "".join(line + CRLF for line in lines) + END


def framed_lines(text):
    """The lines of a list file written earlier, without comments; [] when there is none."""
    if text is None:
        return []
    pieces = text.replace(CRLF, "\n").split("\n")
    return [p.strip() for p in pieces[:-1] if p.strip() and not p.strip().startswith("#")]


def read_if_there(path):
    try:
        return read_text(path)
    except FileNotFoundError:
        return None


def write_atomically(path, text):
    """Replaces the file in one step: readers see the old file or the new one, never a part."""
    folder = os.path.dirname(os.path.abspath(path))
    handle, temporary = tempfile.mkstemp(prefix=".publish-", dir=folder)
    try:
        with os.fdopen(handle, "wb") as out:
            out.write(text.encode("latin-1"))
            out.flush()
            os.fsync(out.fileno())
        os.chmod(temporary, 0o644)
        os.replace(temporary, path)
    except BaseException:
        if os.path.exists(temporary):
            os.unlink(temporary)
        raise


def today_text(date):
    return f"{date.month}/{date.day}/{date.year}"


def build(args):
    """The new content of each file that changes, in the order they are written."""
    update_host = (urllib.parse.urlsplit(args.server).hostname or "").lower()
    refused = []
    ads = clean_names(read_text(args.list), update_host, refused)
    popups = clean_names(read_text(args.popups), update_host, refused) if args.popups else []
    popup_set = set(popups)
    domains = [("*" + n) if n in popup_set else n for n in ads]
    listed = set(ads)
    domains += ["*" + n for n in popups if n not in listed]
    if not domains:
        raise PublishError("the list holds no ad server names: nothing is published")
    names = {d.lstrip("*") for d in domains}

    out = args.out
    previous = [n.lstrip("*") for n in framed_lines(read_if_there(os.path.join(out, "domains.txt")))]
    removals = [n for n in framed_lines(read_if_there(os.path.join(out, "removals.txt")))
                if n not in names]
    removed = set(removals)
    for name in previous:
        if name not in names and name not in removed:
            removed.add(name)
            removals.append(name)

    files = {"domains.txt": framed(domains), "removals.txt": framed(removals)}
    if args.spyware:
        files["spyware.txt"] = framed(spyware_lines(read_text(args.spyware), refused))
    elif read_if_there(os.path.join(out, "spyware.txt")) is None:
        files["spyware.txt"] = framed([])
    if args.version:
        if not re.match(r"^\d+\.\d+\.\d+$", args.version):
            raise PublishError(f"the version must be three numbers like 4.2.8, not {args.version!r}")
        features = read_text(args.features) if args.features else ""
        files["version.txt"] = "Version:" + args.version + " " + features.replace("\r\n", "\n").replace("\n", CRLF)
    changed = {name: text for name, text in files.items()
               if read_if_there(os.path.join(out, name)) != text}
    return changed, refused, len(domains), len(removals)


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--out", required=True, help="the folder served as /zshared/")
    parser.add_argument("--list", required=True, help="the ad servers: plain or hosts format")
    parser.add_argument("--popups", help="popup ad servers, written with a leading '*'")
    parser.add_argument("--spyware", help="'program.exe:description' lines")
    parser.add_argument("--version", help="the newest release, like 4.2.8")
    parser.add_argument("--features", help="a text file of the newest release's features")
    parser.add_argument("--server", default=DEFAULT_SERVER,
                        help="the update server's address; its host is never published")
    parser.add_argument("--date", help="the date to publish (month/day/year); default today")
    parser.add_argument("--verbose", action="store_true", help="name every refused entry")
    args = parser.parse_args(argv)
    try:
        if not os.path.isdir(args.out):
            raise PublishError(f"no such folder: {args.out}")
        changed, refused, count, removal_count = build(args)
    except (PublishError, OSError) as error:
        print(f"publish-updates: {error}", file=sys.stderr)
        return 1
    shown = refused if args.verbose else refused[:10]
    for entry, reason in shown:
        print(f"refused: {entry!r}: {reason}", file=sys.stderr)
    if len(refused) > len(shown):
        print(f"refused: {len(refused) - len(shown)} more (--verbose names them)", file=sys.stderr)
    if not changed:
        print(f"{count} names, {removal_count} removals: nothing changed, nothing written")
        return 0
    date = args.date or today_text(datetime.date.today())
    if not re.match(r"^\d{1,2}/\d{1,2}/\d{4}$", date):
        print(f"publish-updates: the date must be month/day/year, not {date!r}", file=sys.stderr)
        return 1
    for name, text in changed.items():
        write_atomically(os.path.join(args.out, name), text)
    # Last: a client that sees the new date finds every other file already in place.
    write_atomically(os.path.join(args.out, "updatedate.txt"), date)
    print(f"{count} names, {removal_count} removals: wrote {', '.join(changed)}, updatedate.txt ({date})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
