"""HTTPS connections kept alive between requests, closed when idle, counted
apart from the control endpoint's; the faults that end a connection."""

import http.client
import socket
import unittest

from harness import ServiceProcess, form_body, parse_reply, wait_for

KEEP_ALIVE = 0.3


class ConnectionTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.service = ServiceProcess("--keep-alive", str(KEEP_ALIVE))

    @classmethod
    def tearDownClass(cls):
        cls.service.stop()

    def setUp(self):
        self.service.control("reset")
        self.service.control("add_user", name="alice", password="secret")

    def counts(self):
        return self.service.control("connections")

    def connect(self, session=None):
        """A TLS connection of the client's; session resumes an earlier one."""
        raw = socket.create_connection(("127.0.0.1", self.service.https_port), timeout=10)
        return self.service.tls.wrap_socket(raw, server_hostname="127.0.0.1", session=session)

    def get_path(self, connection):
        connection.request("POST", "/cm_get_path.php", b"version=1.3.14.1")
        response = connection.getresponse()
        return response.status, response.getheader("Connection"), response.read()

    def https(self):
        return http.client.HTTPSConnection(
            "127.0.0.1", self.service.https_port, context=self.service.tls, timeout=10
        )

    def test_requests_in_a_row_share_one_connection_until_it_idles(self):
        before = self.counts()
        connection = self.https()
        try:
            for _ in range(20):
                status, header, body = self.get_path(connection)
                self.assertEqual((200, None), (status, header))
                self.assertEqual("/calvimora/api", parse_reply(body).field("Path"))
            during = self.counts()
            self.assertEqual(before["tls_handshakes"] + 1, during["tls_handshakes"])
            self.assertEqual(1, during["open_connections"])
            # The control calls above made handshakes of their own, counted apart.
            self.assertGreater(during["control_handshakes"], before["control_handshakes"])

            wait_for(
                lambda: self.counts()["open_connections"] == 0,
                deadline=10 * KEEP_ALIVE + 5,
                what="the idle connection to be closed",
            )
            with self.assertRaises((http.client.HTTPException, OSError)):
                self.get_path(connection)
        finally:
            connection.close()

    def test_a_second_connection_resumes_the_first_one_s_session(self):
        before = self.counts()
        first = self.connect()
        request = b"POST /cm_get_path.php HTTP/1.1\r\nHost: x\r\nContent-Length: 16\r\n\r\n"
        request += b"version=1.3.14.1"
        first.sendall(request)
        self.assertTrue(first.recv(65536).startswith(b"HTTP/1.1 200"))
        second = self.connect(session=first.session)
        second.sendall(request)
        self.assertTrue(second.recv(65536).startswith(b"HTTP/1.1 200"))
        self.assertTrue(second.session_reused)
        first.close()
        second.close()
        after = self.counts()
        self.assertEqual(2, after["tls_handshakes"] - before["tls_handshakes"])
        self.assertEqual(1, after["tls_resumed"] - before["tls_resumed"])

    def test_drop_breaks_the_answer_off_and_close_answers_nothing(self):
        self.service.control("arm", target="cm_get_path.php", kind="drop")
        connection = self.https()
        connection.request("POST", "/cm_get_path.php", b"version=1.3.14.1")
        response = connection.getresponse()
        self.assertEqual(200, response.status)
        with self.assertRaises(http.client.IncompleteRead):
            response.read()
        connection.close()

        self.service.control("arm", target="cm_get_path.php", kind="close", skip=1)
        connection = self.https()
        self.assertEqual(200, self.get_path(connection)[0])
        with self.assertRaises(http.client.RemoteDisconnected):
            self.get_path(connection)
        connection.close()

    def test_a_body_of_no_readable_length_ends_the_connection(self):
        with self.connect() as connection:
            connection.sendall(
                b"POST /cm_get_path.php HTTP/1.1\r\nHost: x\r\nContent-Length: many\r\n\r\n"
            )
            answer = b""
            while chunk := connection.recv(65536):
                answer += chunk
        self.assertTrue(answer.startswith(b"HTTP/1.1 400"))
        self.assertIn(b"Connection: close", answer)
        body = form_body({"action": "list_dir"})
        status = self.service.post("/calvimora/api/cm_operations.php", body)[0]
        self.assertEqual(200, status)


if __name__ == "__main__":
    unittest.main()
