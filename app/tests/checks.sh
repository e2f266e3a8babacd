# What the qelvio-cli test scripts share: counting failed checks and ending
# with the exit status that says whether any failed. Source it first; call
# `finish WHAT` last.
failures=0

check() {  # check NAME EXPECTED ACTUAL
    if [[ "$2" != "$3" ]]; then
        printf 'FAIL %s\n--- expected\n%s\n--- actual\n%s\n' "$1" "$2" "$3"
        failures=$((failures + 1))
    fi
}

fail() {  # fail NAME: a check that failed outright
    printf 'FAIL %s\n' "$1"
    failures=$((failures + 1))
}

finish() {  # finish WHAT
    if ((failures)); then
        echo "$1: $failures check(s) failed"
        exit 1
    fi
    echo "$1: all checks passed"
    exit 0
}
