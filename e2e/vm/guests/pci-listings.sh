# In the guest: the PCI functions as vexoscan ($VEXOSCAN) lists them and as lspci does, and
# the configuration bytes each read, for the host to compare.
set -e
# One scan (several seconds under TCG) both lists and dumps what it read.
status=0
"$VEXOSCAN" --write-dump vexoscan.dump >vexoscan.txt 2>vexoscan.err || status=$?
echo "$status" >vexoscan.status
# lspci -vv asks kmod for drivers; the guest has no module index, which is no matter here.
lspci -nn -vv -PP >lspci.txt 2>lspci.err
lspci -xxxx >lspci.dump
lspci -t >lspci-tree.txt
# lspci does not print header types; setpci reads them from the same functions.
for f in $(lspci -n | cut -d' ' -f1); do
  echo "$f $(setpci -s "$f" HEADER_TYPE)"
done >header-types.txt
