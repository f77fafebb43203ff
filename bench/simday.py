"""A day of the default simulated traffic as a background file holds it
(code page 1252, CR LF), for the benchmarks that build longer traces from it."""
import os
import subprocess


def day_lines(simtrace, scratch):
    """The lines of `ordalyn-simtrace --cp1252 --seconds 86400`, without their
    line ends; written once into the scratch folder and read from there."""
    day = os.path.join(scratch, "day.log")
    if not os.path.exists(day):
        with open(day, "wb") as f:
            subprocess.run([simtrace, "--cp1252", "--seconds", "86400"], stdout=f, check=True)
    with open(day, "rb") as f:
        return f.read().split(b"\r\n")[:-1]
