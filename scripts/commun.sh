# Sourced by the scripts: what they share.
#
#   sudo_                   "sudo" unless the script runs as root; prefixes what needs root
#   installer PAQUET…       installs those of the Debian packages named that are missing; the package
#                           lists are updated once per run of the script, before the first install
#   apt_mis_a_jour          forgets that update, so that the next install updates again (after a new
#                           source or architecture)
#   sous_charge COMMANDE…   runs the command; with CC_CHARGE=1, while stress-ng keeps every processor
#                           busy, so that a test which holds only on an idle machine shows it

sudo_=""
[ "$(id -u)" -eq 0 ] || sudo_="sudo"

cc_listes_a_jour=0
apt_mis_a_jour() { cc_listes_a_jour=0; }

# Fails (rather than ending the script) when apt-get does: a caller may go on without an optional package.
# apt-get never removes a package to make room (--no-remove).
installer() {
    local manquants=() p
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || manquants+=("$p")
    done
    [ "${#manquants[@]}" -gt 0 ] || return 0
    echo "Installation de : ${manquants[*]}"
    if [ "$cc_listes_a_jour" -eq 0 ]; then
        $sudo_ apt-get update -qq || return
        cc_listes_a_jour=1
    fi
    DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -qq --no-remove "${manquants[@]}" >/dev/null
}

# stress-ng stops its workers when it is told to end.
sous_charge() {
    if [ "${CC_CHARGE:-0}" = 0 ]; then
        "$@"
        return
    fi
    stress-ng --cpu "$(nproc)" --quiet &
    local charge=$! code=0
    "$@" || code=$?
    kill "$charge" 2>/dev/null || true
    wait "$charge" 2>/dev/null || true
    return "$code"
}
