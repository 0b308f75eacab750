"""Waits on 127.0.0.1 for the synchroniser's connection to its central server.

Writes the port it listens on to argv[1], then "connected" to argv[2] when a connection comes
(the program read the address from the registry). Ends after one connection or argv[3] seconds.
"""
import socket
import sys

port_file, result_file, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as server:
    server.bind(("127.0.0.1", 0))
    server.listen(1)
    server.settimeout(seconds)
    with open(port_file + ".tmp", "w") as f:
        f.write(str(server.getsockname()[1]))
    import os
    os.rename(port_file + ".tmp", port_file)
    try:
        connection, _ = server.accept()
        connection.close()
        outcome = "connected"
    except socket.timeout:
        outcome = "timeout"
    with open(result_file, "w") as f:
        f.write(outcome)
