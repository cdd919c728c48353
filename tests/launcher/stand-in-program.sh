#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# Stands in for ostrane: says where it was started and with which home.
echo "ran in $PWD with $OSTRANE_HOME"
