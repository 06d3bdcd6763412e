# Shared by ./run and ./test: packages, build, throw-away PostgreSQL.
SUITE_PACKAGES="g++ cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libsqlite3-dev libqt6sql6-psql libpq-dev libgl-dev libcpp-httplib-dev libboost1.81-dev libssl-dev zlib1g-dev libbrotli-dev postgresql sqlite3 curl xvfb xauth x11-apps imagemagick fonts-dejavu-core poppler-utils openbox xdotool qt6-translations-l10n python3-prometheus-client lintian dpkg-dev systemd haproxy"

suite_install() {
    local missing=()
    for p in $SUITE_PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages. Run as root:" >&2
        echo "  apt-get update && apt-get install -y ${missing[*]}" >&2
        return 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

suite_build() {   # suite_build DIR [cmake args...]
    local dir=$1; shift
    cmake -S "$SUITE_ROOT" -B "$dir" -G Ninja "$@" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}

suite_free_port() {   # a loopback port nobody answers on
    local p
    for _ in $(seq 1 50); do
        p=$((20000 + RANDOM % 30000))
        (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { echo "$p"; return 0; }
    done
    return 1
}

suite_wait_http() {   # suite_wait_http URL SECONDS
    local i
    for i in $(seq 1 $(( $2 * 5 ))); do
        curl -fsS -o /dev/null "$1" 2>/dev/null && return 0
        sleep 0.2
    done
    return 1
}

# Starts PostgreSQL in a temp dir on a free loopback port; exports SUITE_TEST_PG_URL.
suite_pg_start() {
    local bin=/usr/lib/postgresql/15/bin
    SUITE_PG_DIR=$(mktemp -d /tmp/suite-pg.XXXXXX)
    local as=()
    if [ "$(id -u)" -eq 0 ]; then
        chown postgres: "$SUITE_PG_DIR"
        as=(runuser -u postgres --)
    fi
    "${as[@]}" "$bin/initdb" -D "$SUITE_PG_DIR/data" -A trust -U postgres -E UTF8 --locale=C.UTF-8 >/dev/null
    mkdir -p "$SUITE_PG_DIR/sock"; [ "$(id -u)" -eq 0 ] && chown postgres: "$SUITE_PG_DIR/sock"
    # A port found free may be taken by another test before the server binds it: then the server stops at once,
    # and another port is tried.
    local started=
    for _ in 1 2 3 4 5; do
        SUITE_PG_PORT=$(suite_free_port)
        if "${as[@]}" "$bin/pg_ctl" -D "$SUITE_PG_DIR/data" -l "$SUITE_PG_DIR/log" -w \
            -o "-p $SUITE_PG_PORT -k $SUITE_PG_DIR/sock -c listen_addresses=127.0.0.1 -c fsync=off -c max_connections=200" \
            start >/dev/null; then
            started=1
            break
        fi
    done
    if [ -z "$started" ]; then
        echo "PostgreSQL did not start; its log:" >&2
        tail -5 "$SUITE_PG_DIR/log" >&2
        return 1
    fi
    export SUITE_TEST_PG_URL="postgresql://postgres@127.0.0.1:$SUITE_PG_PORT/postgres"
    SUITE_PG_AS=("${as[@]}")
    echo "PostgreSQL for tests on 127.0.0.1:$SUITE_PG_PORT"
}

suite_pg_stop() {
    [ -n "${SUITE_PG_DIR:-}" ] || return 0
    "${SUITE_PG_AS[@]}" /usr/lib/postgresql/15/bin/pg_ctl -D "$SUITE_PG_DIR/data" -m immediate stop >/dev/null 2>&1 || true
    rm -rf "$SUITE_PG_DIR"
    SUITE_PG_DIR=
}
