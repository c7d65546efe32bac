#!/usr/bin/env python3
"""GIF decoding speed beside giflib, measured in the same run.

    decode_compare.py PEERS_DIRECTORY GIF_BENCH [--rounds N]

PEERS_DIRECTORY is the shared peer benchmark kit (peer_decode.c, run_all.sh);
GIF_BENCH is the built gif_bench program. The decode corpus is the kit's own
(WORK/corpus, WORK as the kit's run_all.sh takes it: $WORK, else
$TMPDIR/bench-peers, else /tmp/bench-peers); when it is missing the kit's
run_all.sh is run once, with QUICK=1, to make it. Each round runs giflib's
peer_decode and then gif_bench on the same files; the table gives the median
MP/s of each and their ratio: load_gif (first frame) and the frame reader
(all frames, each handed out as a new buffer) against giflib slurp + compose
of all frames.
"""
import argparse
import json
import os
import statistics
import subprocess
import sys


def work_directory():
    return os.environ.get("WORK") or os.path.join(os.environ.get("TMPDIR", "/tmp"), "bench-peers")


def ensure_corpus(peers, work):
    corpus = os.path.join(work, "corpus")
    if not os.path.isdir(corpus) or not any(f.endswith(".gif") for f in os.listdir(corpus)):
        print("making the decode corpus with the peer kit (QUICK=1 run_all.sh)...", flush=True)
        env = dict(os.environ, WORK=work, QUICK="1")
        subprocess.run([os.path.join(peers, "run_all.sh")], env=env, check=False,
                       stdout=subprocess.DEVNULL)
    if not os.path.isdir(corpus):
        sys.exit("no decode corpus in " + corpus)
    return corpus


def build_peer_decode(peers, work):
    program = os.path.join(work, "build", "peer_decode")
    if not os.path.exists(program):
        os.makedirs(os.path.dirname(program), exist_ok=True)
        subprocess.run([os.environ.get("CC", "cc"), "-O2", "-o", program,
                        os.path.join(peers, "peer_decode.c"), "-lgif"], check=True)
    return program


def giflib_round(program, corpus):
    out = subprocess.run([program, "-s", "5", corpus], capture_output=True, text=True, check=True)
    rates = {}
    for line in out.stdout.splitlines()[1:]:
        fields = line.split("\t")
        if len(fields) >= 7 and fields[1] == "giflib_rgba":
            rates[fields[0]] = float(fields[6])
    return rates


def product_round(program, corpus):
    env = dict(os.environ, ZOETRA_GIF_CORPUS=corpus)
    out = subprocess.run([program, "--benchmark_filter=^decode_", "--benchmark_min_time=0.5",
                          "--benchmark_format=json"], env=env, capture_output=True, text=True,
                         check=True)
    rates = {}
    for bench in json.loads(out.stdout)["benchmarks"]:
        kind, name = bench["name"].split("/")[0], bench["name"].split("/")[1]
        rates[(kind, name)] = bench["MP/s"]
    return rates


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("peers")
    parser.add_argument("gif_bench")
    parser.add_argument("--rounds", type=int, default=3)
    args = parser.parse_args()
    work = work_directory()
    corpus = ensure_corpus(args.peers, work)
    peer = build_peer_decode(args.peers, work)

    giflib, ours = {}, {}
    for round_number in range(args.rounds):
        print("round %d of %d" % (round_number + 1, args.rounds), flush=True)
        for name, rate in giflib_round(peer, corpus).items():
            giflib.setdefault(name, []).append(rate)
        for key, rate in product_round(args.gif_bench, corpus).items():
            ours.setdefault(key, []).append(rate)

    print("\nMP/s (frame-rectangle pixels per second of wall time), median of %d rounds" % args.rounds)
    print("%-32s %12s %12s %8s %14s %8s" % ("file", "giflib_rgba", "load_gif", "ratio",
                                            "reader_frames", "ratio"))
    for name in sorted(giflib):
        g = statistics.median(giflib[name])
        first = statistics.median(ours.get(("decode_load_gif", name), [0]))
        every = statistics.median(ours.get(("decode_all_frames", name), [0]))
        print("%-32s %12.1f %12.1f %7.2fx %14.1f %7.2fx" % (name, g, first, first / g, every,
                                                           every / g))


if __name__ == "__main__":
    main()
