#!/usr/bin/python3
"""The other side of the demo: adds, changes, removes and lists the demo
user's remote files through the stand-in service's control commands, as
another computer of the user's would.

  remote.py --port-file FILE ls [FOLDER]
  remote.py --port-file FILE put PATH [LOCAL_FILE | --text TEXT]
  remote.py --port-file FILE rm PATH

Paths are the remote storage's, "/" separated ("/Documents/plan.txt"); put
makes missing folders on the way and replaces the content of a file that
exists; rm moves the file or folder to the trash. --user picks another user
than "demo".
"""

import argparse
import base64
import http.client
import json
import ssl
import sys


def _control(ports, verb, **args):
    tls = ssl.create_default_context(cafile=ports["ca_file"])
    connection = http.client.HTTPSConnection(
        "127.0.0.1", ports["https_port"], context=tls, timeout=20
    )
    try:
        connection.request(
            "POST", f"/_control/{verb}", json.dumps(args), {"Content-Type": "application/json"}
        )
        response = connection.getresponse()
        answer = json.loads(response.read())
    except OSError as failure:
        raise SystemExit(
            f"remote: the service does not answer ({failure.strerror or failure}); "
            "start it with ./run service or ./run demo"
        )
    finally:
        connection.close()
    if response.status != 200:
        raise SystemExit(f"remote: {answer.get('error', answer)}")
    return answer


def _arguments(argv):
    parser = argparse.ArgumentParser(description="Change the demo user's remote files.")
    parser.add_argument("--port-file", required=True, help="the running service's port file")
    parser.add_argument("--user", default="demo", help="whose files (default %(default)s)")
    commands = parser.add_subparsers(dest="command", required=True)
    listing = commands.add_parser("ls", help="list a remote folder")
    listing.add_argument("folder", nargs="?", default="/")
    put = commands.add_parser("put", help="add a remote file or change its content")
    put.add_argument("path")
    source = put.add_mutually_exclusive_group()
    source.add_argument("local_file", nargs="?", help="the file whose bytes go up")
    source.add_argument("--text", help="the content as text")
    remove = commands.add_parser("rm", help="move a remote file or folder to the trash")
    remove.add_argument("path")
    return parser.parse_args(argv)


def main(argv=None):
    args = _arguments(argv)
    try:
        with open(args.port_file, encoding="utf-8") as port_file:
            ports = json.load(port_file)
    except OSError:
        raise SystemExit("remote: the service does not run (start ./run demo or ./run service)")
    if args.command == "ls":
        items = _control(ports, "list_folder", user=args.user, path=args.folder)["items"]
        for item in items:
            size = "folder" if item["is_folder"] else f"{item['size']} bytes"
            print(f"{item['name']}  ({size})")
        return 0
    if args.command == "put":
        if args.local_file:
            with open(args.local_file, "rb") as source:
                content = source.read()
        else:
            content = (args.text if args.text is not None else "").encode("utf-8")
        answer = _control(
            ports,
            "put_file",
            user=args.user,
            path=args.path,
            content_base64=base64.b64encode(content).decode("ascii"),
        )
        print(f"{'added' if answer['made'] else 'changed'} {args.path} ({len(content)} bytes)")
        return 0
    _control(ports, "remove_path", user=args.user, path=args.path)
    print(f"moved {args.path} to the trash")
    return 0


if __name__ == "__main__":
    sys.exit(main())
