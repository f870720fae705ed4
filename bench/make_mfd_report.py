#!/usr/bin/env python3
"""Writes a synthetic detail-tape text report (Windows-1252, CR LF) of about SIZE bytes
for the diagnostics benchmark: coupons with increasing document counters, and now and
then a power failure, a credit/debit voucher reprint that explains a counter gap, a lost
document, a user change, a counter running backwards and the Z reduction after it.

usage: make_mfd_report.py OUTPUT SIZE_IN_MB
"""
import sys

WIDTH = 48
HEADER = "QUORVEXA        ZT-310 A             ECF-IF"


def line(text=""):
    return (text + "\r\n").encode("cp1252")


def stamp(seq):
    day = 1 + seq // 86400 % 28
    rest = seq % 86400
    return "%02d/%02d/2026 %02d:%02d:%02d" % (day, 1 + seq // (86400 * 28) % 12, rest // 3600, rest // 60 % 60, rest % 60)


def coupon(coo, seq, items):
    when = stamp(seq)
    out = [
        line("  " + HEADER + "   "),
        line("  CNPJ:12.345.678/0001-90  IE:123.456.789.012"),
        line("  " + " " * 26 + when),
        line("-" * WIDTH),
        line("FAB:QV0000000000001234567   " + when),
        line((when + "   CCF:%06d" % coo).ljust(38) + "COO:%06d" % coo),
        line("                 CUPOM FISCAL                   "),
        line("ITEM CÓDIGO      DESCRIÇÃO  QTD.UN.VL UNIT( R$)  "),
    ]
    for i in range(items):
        out.append(line("%03d 78912345%05d PRODUTO %02d  1UN x 3,50   3,50T" % (i + 1, i, i)))
    out += [
        line("TOTAL R$                                   %5d,50" % (items * 3)),
        line("Dinheiro                                   %5d,50" % (items * 3)),
        line("-" * WIDTH),
    ]
    return out


def voucher_reprint(coo, seq):
    when = stamp(seq)
    return [
        line((when + "   GNF:%06d" % coo).ljust(38) + "COO:%06d" % coo),
        line("-" * WIDTH),
        line("       COMPROVANTE DE CRÉDITO OU DÉBITO         "),
        line("VISA                                            "),
        line("           REIMPRESSÃO 1ªVIA                    "),
        line("-" * WIDTH),
    ]


def main():
    path, megabytes = sys.argv[1], int(sys.argv[2])
    target = megabytes * 1024 * 1024
    written = 0
    coo = 1
    seq = 0
    chunk = []
    with open(path, "wb") as f:
        while written < target:
            seq += 1
            block = coupon(coo, seq * 37, 5 + seq % 11)
            if seq % 997 == 0:
                block.append(line("***********FALTA DE ENERGIA - RETORNO***********"))
            if seq % 4001 == 0:  # a voucher reprint takes one counter value
                coo += 1
                block += voucher_reprint(coo + 1, seq * 37)
                coo += 1
            elif seq % 5003 == 0:  # a lost document
                coo += 1
            elif seq % 20011 == 0:
                block.append(line("           ALTERAÇÃO DE USUÁRIO                 "))
                coo = 0
            elif seq % 30011 == 0:  # counter backwards, then a Z reduction
                coo -= 5
                block.append(line("       REDUÇÃO Z        "))
            coo += 1
            data = b"".join(block)
            chunk.append(data)
            written += len(data)
            if len(chunk) >= 512:
                f.write(b"".join(chunk))
                chunk = []
        f.write(b"".join(chunk))


if __name__ == "__main__":
    main()
