#!/usr/bin/env python3
"""Writes the seed inputs of the fuzz corpora (fuzz/corpus/<target>/seed-*).

The seeds are the shapes each input normally has plus its known edge cases;
the fuzzers grow from them. Inputs that the fuzzers found are kept beside the
seeds as finding-* files and are not touched here.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    d = os.path.join(HERE, "corpus", target)
    os.makedirs(d, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    with open(os.path.join(d, "seed-" + name), "wb") as f:
        f.write(data)


def answer(prefix, inner, env="env"):
    el = (prefix + ":" if prefix else "") + "_-qel_-kasVubWsQuendalSalesResponse"
    xmlns = "xmlns:" + prefix if prefix else "xmlns"
    return ('<?xml version="1.0" encoding="utf-8"?><{e}:Envelope xmlns:{e}="http://www.w3.org/2003/05/soap-envelope">'
            '<{e}:Header/><{e}:Body><{el} {x}="urn:sap-com:document:sap:soap:functions:mc-style">{inner}</{el}>'
            '</{e}:Body></{e}:Envelope>').format(e=env, el=el, x=xmlns, inner=inner)


def rect(value, message="OK"):
    return "<ExRect><Rect>{}</Rect><Rectmsg>{}</Rectmsg></ExRect>".format(value, message)


def response_seeds():
    write("response", "accepted-n0", answer("n0", rect("0")))
    write("response", "accepted-ns1", answer("ns1", rect(" 0")))
    write("response", "accepted-plus", answer("n0", rect("+0 ")))
    write("response", "refused", answer("n0", rect("4", "Ung\u00fcltige Belegnummer")))
    write("response", "refused-negative", answer("n0", rect("-1", "")))
    write("response", "rect-empty", answer("n0", "<ExRect><Rect></Rect><Rectmsg/></ExRect>"))
    write("response", "rect-abc", answer("n0", rect("abc")))
    write("response", "rect-huge", answer("n0", rect("99999999999999999999")))
    write("response", "no-rectmsg", answer("n0", "<ExRect><Rect>7</Rect></ExRect>"))
    write("response", "cdata", answer("n0", "<ExRect><Rect><![CDATA[3]]></Rect><Rectmsg><![CDATA[a<b]]></Rectmsg></ExRect>"))
    write("response", "entities", answer("n0", rect("&#x34;", "&amp;&lt;&#228;")))
    write("response", "other-prefix", answer("n1", rect("0")))
    write("response", "other-envelope", answer("n0", rect("0"), env="soap"))
    write("response", "fault",
          '<?xml version="1.0"?><env:Envelope xmlns:env="http://www.w3.org/2003/05/soap-envelope"><env:Body>'
          '<env:Fault><env:Code><env:Value>env:Sender</env:Value></env:Code><env:Reason><env:Text xml:lang="en">'
          'bad</env:Text></env:Reason></env:Fault></env:Body></env:Envelope>')
    write("response", "html", "<html><body><p>Service Unavailable<br></body></html>")
    write("response", "latin1", answer("n0", rect("4", "Ung\u00fcltig")).encode("utf-8").replace(b"\xc3\xbc", b"\xfc"))
    write("response", "empty", b"")
    write("response", "deep", "<a>" * 300 + "</a>" * 300)
    many = "".join(' a%d="1"' % i for i in range(40))
    write("response", "many-attributes", answer("n0", "<x" + many + "/>" + rect("0")))
    write("response", "many-attributes-repeated", answer("n0", "<x" + many + ' a33="2"/>' + rect("0")))
    write("response", "references-unclosed", answer("n0", rect("0", "&#" * 40 + "&#x41;&#&#66;")))


def config(url="http://127.0.0.1:8080/sap/kasse", extra="", compat="<oldkasse>1</oldkasse><oldkasseprefix>12</oldkasseprefix>"):
    return ("<endpoint><username>kasse</username><password>geheim</password><url>{}</url>{}</endpoint>"
            "<compatibility>{}</compatibility>").format(url, extra, compat)


def config_seeds():
    with open(os.path.join(HERE, "..", "examples", "QelConnect.xml"), "rb") as f:
        write("config", "example", f.read())
    write("config", "minimal", config())
    write("config", "cert-subject", config(extra="<certSubject>CN=kasse</certSubject><caFile>/etc/kasse-ca.pem</caFile>"))
    write("config", "prefix-text", config(compat="<oldkasse> 1</oldkasse><oldkasseprefix>-12abc</oldkasseprefix>"))
    write("config", "prefix-huge", config(compat="<oldkasseprefix>99999999999999</oldkasseprefix>"))
    write("config", "entities", config(url="http://h/&amp;&#x20AC;&#228;<![CDATA[x]]>"))
    write("config", "no-url", "<endpoint><username>u</username></endpoint>")
    write("config", "no-endpoint", "<compatibility/>")
    write("config", "root-wrapped", "<root>" + config() + "</root>")
    write("config", "mismatched", "<endpoint><url>x</endpoint></url>")
    write("config", "empty", b"")
    write("config", "bom-declaration", b"\xef\xbb\xbf<?xml version=\"1.0\"?>" + config().encode())
    write("config", "unclosed", "<endpoint><url>x")


def sales_ini_seeds():
    write("sales_ini", "plain", "[Kasse]\r\nTerminalID=4711\r\n")
    write("sales_ini", "several", "TerminalID=1\nx=TerminalID=12=34\nTerminalID =99\nTerminalID==5\n")
    write("sales_ini", "last-wins", "[A]\nTerminalID=1\n[B]\nTerminalID=2")
    write("sales_ini", "utf8", "TerminalID=Kasse M\u00fcnchen \u20ac\n")
    write("sales_ini", "long", "TerminalID=" + "\u00e4" * 60 + "\n")
    write("sales_ini", "ctrl-z", b"TerminalID=7\r\n\x1aTerminalID=8\r\n")
    write("sales_ini", "bom", b"\xef\xbb\xbfTerminalID=3\n")
    write("sales_ini", "nul", b"TerminalID=1\x002\n")
    write("sales_ini", "binary", bytes(range(256)) + b"\nTerminalID=\xff\xfe\xc3")
    write("sales_ini", "empty", b"")


def fee(flag, currency, amount, tax):
    return struct.pack("<B4s4sdd8s", flag, b"\0" * 4, currency, amount, tax, b"\0" * 8)


def header(order_id, receipt, total, positions, fees, pool, fixed_flags=(1, 1, 1, 1), null_lists=False):
    h = bytearray(1296)
    struct.pack_into("<iid", h, 8, order_id, receipt, 0)
    struct.pack_into("<d", h, 28, total)
    struct.pack_into("<iI", h, 1132, positions, 0 if null_lists else 1)
    for i, flag in enumerate(fixed_flags):
        h[1140 + 33 * i:1140 + 33 * (i + 1)] = fee(flag, b"EUR\0", 1.5 + i, 19.0)
    struct.pack_into("<II", h, 1272, fees, 0 if null_lists else 1)
    struct.pack_into("<i", h, 1292, pool)
    return bytes(h)


def position(pos_id, tickets, name, null_tickets=False):
    p = bytearray(170)
    struct.pack_into("<iB", p, 4, pos_id, 1)
    struct.pack_into("<i", p, 13, tickets)
    struct.pack_into("<dddd", p, 21, 42.5, 6.79, 3.0, 2.0)
    struct.pack_into("<iiiii", p, 53 + 4, 9, 123, 5, 1700000000, 0)
    struct.pack_into("<i", p, 53 + 24, 1700007200)
    p[53 + 32:53 + 32 + len(name)] = name
    struct.pack_into("<I", p, 166, 0 if null_tickets else 1)
    return bytes(p)


def ticket(ticket_id):
    t = bytearray(573)
    struct.pack_into("<iddd", t, 4, ticket_id, 1.5, 1.0, 20.0)
    return bytes(t)


def additional_fee(name, currency, amount):
    a = bytearray(45)
    a[4:4 + len(name)] = name
    a[17:17 + len(currency)] = currency
    struct.pack_into("<dd", a, 21, amount, 7.0)
    return bytes(a)


def host_record_seeds():
    sale = (header(4711, 815, 42.5, 2, 2, 77) + position(1, 2, b"Sommernachtstraum") +
            position(2, 1, b"Caf\xe9 & <Bar> \"Sp\xe4t\"") + ticket(501) + ticket(502) + ticket(503) +
            additional_fee(b"Garderobe", b"EUR\0", 2.0) + additional_fee(b"Dreizehn-Zeich", b"CHF", -1.0))
    write("host_record", "sale", sale)
    write("host_record", "no-lists", header(1, 2, -3.5, 0, 0, 1, fixed_flags=(0, 2, 255, 1)))
    write("host_record", "negative-count", header(1, 2, 0.0, -1, 0, 1))
    write("host_record", "null-positions", header(1, 2, 0.0, 3, 0, 1, null_lists=True))
    write("host_record", "null-tickets", header(1, 2, 0.0, 1, 0, 1) + position(1, 4, b"x", null_tickets=True))
    write("host_record", "unusual-doubles",
          header(-1, -2147483648, float("nan"), 1, 1, -5) + position(7, 1, b"\x01\x7f\x80\x9f") + ticket(-1) +
          struct.pack("<4s13s4sdd8s", b"", b"\xff" * 13, b"\x81\x8d\x8f\x90", float("inf"), -float("inf"), b""))
    write("host_record", "short", b"\x01\x02\x03")


if __name__ == "__main__":
    response_seeds()
    config_seeds()
    sales_ini_seeds()
    host_record_seeds()
