"""What the local test servers share: running one in the background with
its process number in a file, serving until it is told to stop, and
stopping it again."""
import os
import signal
import subprocess
import sys
import time


def _terminate(signum, frame):
    raise KeyboardInterrupt


def serve_until_stopped(server):
    """Serves until SIGTERM, then closes the server's socket."""
    server.daemon_threads = True
    signal.signal(signal.SIGTERM, _terminate)
    try:
        server.serve_forever()
    except KeyboardInterrupt:
        pass
    finally:
        server.server_close()


def stop(directory, pid_file, other_files=()):
    """Stops the server whose process number is in directory/pid_file and
    removes that file and the others named."""
    try:
        with open(os.path.join(directory, pid_file)) as f:
            pid = int(f.read().strip())
        os.kill(pid, signal.SIGTERM)
    except (OSError, ValueError):
        pass
    for name in (pid_file, *other_files):
        try:
            os.remove(os.path.join(directory, name))
        except OSError:
            pass


def start(script, arguments, directory, pid_file, ready):
    """Starts `script serve ...` in a session of its own, notes its process
    number and waits up to 10 s for ready(); True once it is."""
    proc = subprocess.Popen([sys.executable, os.path.abspath(script), "serve", *arguments],
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                            start_new_session=True, close_fds=True)
    with open(os.path.join(directory, pid_file), "w") as f:
        f.write(str(proc.pid))
    for _ in range(200):
        if ready():
            return True
        if proc.poll() is not None:
            return False
        time.sleep(0.05)
    return False
